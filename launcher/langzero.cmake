# Copies a language file and renames its section to [0].
file(READ ${IN} text)
string(REGEX REPLACE "\\[44\\]" "[0]" text "${text}")
file(WRITE ${OUT} "${text}")
