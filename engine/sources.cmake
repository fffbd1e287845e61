# The engine's sources without main.cpp, one list for the engine library
# and the fuzz build (tests/fuzz); names relative to engine/.
set(VEXCORE_SOURCES
  ase.cpp ase_scan.cpp cmdline.cpp collision.cpp common.cpp convert.cpp demo.cpp draw.cpp engine.cpp
  entity.cpp font.cpp fs.cpp glstate.cpp in_sdl.cpp input.cpp lang.cpp model.cpp module.cpp
  sound.cpp sys_sdl.cpp texture.cpp vid_sdl.cpp wav.cpp)
