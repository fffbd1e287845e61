# The game module's sources, one list for the module and the fuzz build
# (tests/fuzz); names relative to game/.
set(GAME_SOURCES
  g_camera.cpp g_chicken.cpp g_class.cpp g_classes.cpp g_damage.cpp g_flow.cpp g_fx.cpp g_hud.cpp
  g_level.cpp g_main.cpp g_math.cpp g_menu.cpp g_missile.cpp g_player.cpp g_sound.cpp
  g_space.cpp g_targets.cpp)
