# cmake -DFROM=shipped -DTO=destination -P copy_if_missing.cmake
# Puts a shipped settings file in place only where the operator has none yet.
if(NOT EXISTS "${TO}")
  file(COPY_FILE "${FROM}" "${TO}")
endif()
