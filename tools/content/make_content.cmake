# Build step of the game content, run with cmake -P.
#   MODE=generate: run the generator into STAGE (ase/, data/, sounds/).
#   MODE=install:  convert STAGE/ase/*.ase with "vexengine -convert", pack
#                  models, collision files, textures and fonts into
#                  DIST/data/vex0.pk3, copy translation packages, sounds and
#                  level files into DIST.  A converter or level writer that
#                  is missing or not working yet is reported and skipped.

function(run_gen kind dir)
  execute_process(COMMAND ${GKCONTENT} ${kind} ${dir} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "content: generating ${kind} failed (${rc})")
  endif()
endfunction()

if(MODE STREQUAL "generate")
  file(REMOVE_RECURSE ${STAGE}/ase ${STAGE}/data ${STAGE}/sounds)
  run_gen(models ${STAGE}/ase)
  run_gen(textures ${STAGE}/data)
  run_gen(fonts ${STAGE}/data)
  run_gen(lang ${STAGE}/data)
  run_gen(sounds ${STAGE}/sounds)
  file(TOUCH ${STAMP})
  return()
endif()

# ---- install --------------------------------------------------------------------

set(conv ${STAGE}/convert)
set(pak ${STAGE}/pak)
file(REMOVE_RECURSE ${conv} ${pak})
file(MAKE_DIRECTORY ${conv} ${pak} ${DIST}/data ${DIST}/sounds)

# Models: the engine's converter writes name.dmo and name.dbb beside the
# scene.
file(GLOB scenes ${STAGE}/ase/*.ase)
set(converted 0)
set(failed "")
foreach(scene ${scenes})
  get_filename_component(base ${scene} NAME_WE)
  file(COPY ${scene} DESTINATION ${conv})
  execute_process(COMMAND ${VEXENGINE} -convert ${base}.ase
                  WORKING_DIRECTORY ${conv} TIMEOUT 120
                  RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
  if(EXISTS ${conv}/${base}.dmo AND EXISTS ${conv}/${base}.dbb)
    file(COPY ${conv}/${base}.dmo ${conv}/${base}.dbb DESTINATION ${pak})
    math(EXPR converted "${converted} + 1")
  else()
    list(APPEND failed ${base})
  endif()
endforeach()
list(LENGTH scenes nscenes)
if(failed)
  list(LENGTH failed nfailed)
  list(GET failed 0 first)
  message(STATUS "content: NOTE: the model converter wrote nothing for ${nfailed} scenes "
                 "(first: ${first}); those models are left out of the archive")
endif()
message(STATUS "content: converted ${converted} of ${nscenes} models")

# Textures and fonts go into the archive with the models.
file(GLOB images ${STAGE}/data/*.tga ${STAGE}/data/*.font)
file(COPY ${images} DESTINATION ${pak})
execute_process(COMMAND ${GKCONTENT} pack ${DIST}/data/vex0.pk3.new ${pak} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "content: packing the archive failed")
endif()
file(RENAME ${DIST}/data/vex0.pk3.new ${DIST}/data/vex0.pk3)

# Translation packages and sounds are read from the disk.
file(GLOB packages ${STAGE}/data/ingame_*.txt)
file(COPY ${packages} DESTINATION ${DIST}/data)
file(GLOB sounds ${STAGE}/sounds/*.wav)
file(COPY ${sounds} DESTINATION ${DIST}/sounds)

# Levels: written by the level writer from their text descriptions.
file(GLOB levels ${LEVELS}/script*.txt)
if(LEVELC AND EXISTS ${LEVELC})
  foreach(lt ${levels})
    get_filename_component(base ${lt} NAME_WE)
    execute_process(COMMAND ${LEVELC} ${lt} ${DIST}/data/${base}.bin
                    RESULT_VARIABLE rc TIMEOUT 60)
    if(NOT rc EQUAL 0)
      message(STATUS "content: NOTE: the level writer failed on ${base} (${rc})")
    endif()
  endforeach()
else()
  message(STATUS "content: NOTE: no level writer (tools/levelc) yet; level files not written")
endif()

file(TOUCH ${STAMP})
