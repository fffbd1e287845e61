# Build step of one rendered launcher file, run with cmake -P:
#   -DCAPTURE=gkcapture -DDIST=dir -DMODE=video|picture|pictures -DSHOT=name
#   -DOUT="file [file...]" (pictures: "shot=file [shot=file...]") [-DFFMPEG=path] -DSTAMP=file
# A machine without any OpenGL (not even off screen) gets no such file:
# the launcher does without intro and picture.  That is reported, not fatal.
separate_arguments(outs UNIX_COMMAND "${OUT}")
if(MODE STREQUAL "video")
  set(args ${DIST} video ${SHOT} ${outs} ${FFMPEG})
elseif(MODE STREQUAL "pictures")
  set(args ${DIST} pictures ${outs})
  list(TRANSFORM outs REPLACE "^[^=]*=" "")
else()
  set(args ${DIST} picture ${SHOT} ${outs})
endif()
execute_process(COMMAND ${CAPTURE} ${args} RESULT_VARIABLE rc TIMEOUT 300)
if(NOT rc EQUAL 0)
  message(STATUS "capture: NOTE: rendering '${SHOT}' failed (${rc}); ${OUT} left out")
  file(REMOVE ${outs})
endif()
file(TOUCH ${STAMP})
