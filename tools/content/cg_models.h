/*
 * cg_models.h -- the model builders of the content generator, split over
 * cg_models.cpp (chickens, balloon, player parts, shots, feathers) and
 * cg_models_space.cpp (craft, space objects, sky spheres, planets,
 * debris).  Each builder fills a model for one animation phase in [0, 1].
 */
#ifndef CG_MODELS_H
#define CG_MODELS_H

#include "cg_mesh.h"

typedef void (*cg_build_f)(cg_model_t *m, float phase);

typedef struct {
    const char *name;      /* media name: file base name of the model */
    cg_build_f build;
    int frames;            /* animation frames (last equals first for loops) */
} cg_modeldef_t;

/* chicken head with comb, beak, wattle and eyes, placed by xf */
void CG_ChickenHead(cg_model_t *m, cg_xf_t xf, const char *prefix, const char *feathers);

void Build_Racer01(cg_model_t *m, float phase);
void Build_Racer02(cg_model_t *m, float phase);
void Build_EnemyShip(cg_model_t *m, float phase);
void Build_Alien01(cg_model_t *m, float phase);
void Build_Alien02(cg_model_t *m, float phase);
void Build_Sonde(cg_model_t *m, float phase);
void Build_Satellit(cg_model_t *m, float phase);
void Build_Rakete(cg_model_t *m, float phase);
void Build_Astronaut(cg_model_t *m, float phase);
void Build_Komet(cg_model_t *m, float phase);
void Build_Sky(cg_model_t *m, int index);
void Build_Planet(cg_model_t *m, int index);
void Build_Debris(cg_model_t *m, int index);

#endif
