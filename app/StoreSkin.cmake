# Writes the main window's stored data with the built-in skin file in it: the text of QMF with
# "@FROST_SKN@" replaced by the bytes of SKIN as hex digits.
file(READ "${QMF}" text)
file(READ "${SKIN}" hex HEX)
string(REPLACE "@FROST_SKN@" "${hex}" text "${text}")
file(WRITE "${OUT}.tmp" "${text}")
# Unchanged output keeps the resource from being rebuilt.
file(COPY_FILE "${OUT}.tmp" "${OUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT}.tmp")
