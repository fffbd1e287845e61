/*
 * g_damage.h -- the one damage rule of the game and the kill credit.
 */
#ifndef G_DAMAGE_H
#define G_DAMAGE_H

typedef struct gentity_s gentity_t;

typedef void (*g_hithandler_f)(gentity_t *self, float damage);
typedef void (*g_diehandler_f)(gentity_t *self);

enum {
    DMG_NONE = 0,     /* the attacker deals no damage */
    DMG_HIT = 1,      /* the victim survives */
    DMG_KILLED = 2
};

/* Takes the attacker's damage dealt from the victim's health; calls hit
 * (victim survives) or die (health 0 or less) when given.  DMG_*. */
int G_Damage(gentity_t *victim, gentity_t *attacker, g_hithandler_f hit, g_diehandler_f die);
/* Credits a kill: only a player killer scores. */
void G_AwardKill(gentity_t *killer, gentity_t *victim);
/* The gentity that gets the credit for a kill by attacker: a missile's
 * owner while the owner reference still names the shooter, else the
 * attacker itself. */
gentity_t *G_Killer(gentity_t *attacker);

#endif
