/*
 * g_damage.cpp -- the damage rule that every touch handler of a target
 * runs: the attacker's damage dealt comes off the victim's health, a
 * missile hit shows the victim's hit burst, and a kill is credited to the
 * shooter of the missile (when the owner reference still names it) or to
 * the attacker itself; only players score.
 */
#include "g_local.h"

gentity_t *G_Killer(gentity_t *attacker)
{
    if (attacker->mainclass != MC_MISSILE)
        return attacker;
    gentity_t *owner = attacker->owner;
    /* pool slots are reused: an owner spawned after the missile is a
     * newer gentity in the shooter's old slot */
    if (owner && !(attacker->spawntime < owner->spawntime))
        return owner;
    return attacker;
}

void G_AwardKill(gentity_t *killer, gentity_t *victim)
{
    if (killer && killer->mainclass == MC_PLAYER)
        CL_ScoreKill(killer, victim);
}

int G_Damage(gentity_t *victim, gentity_t *attacker, g_hithandler_f hit, g_diehandler_f die)
{
    if (!victim || !attacker)
        return DMG_NONE;
    float d = attacker->damage;
    if (!(d > 0.0f))
        return DMG_NONE;
    victim->health -= d;
    if (victim->health > 0.0f) {
        if (attacker->mainclass == MC_MISSILE)
            FX_HitEffect(victim, attacker->ent->origin, d);
        if (hit)
            hit(victim, d);
        return DMG_HIT;
    }
    G_AwardKill(G_Killer(attacker), victim);
    if (die)
        die(victim);
    return DMG_KILLED;
}
