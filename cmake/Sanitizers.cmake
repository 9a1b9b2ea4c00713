# Applies QUELLIX_SANITIZE ("address,undefined" or "thread") to every target.
if(QUELLIX_SANITIZE)
  add_compile_options(-fsanitize=${QUELLIX_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${QUELLIX_SANITIZE})
endif()
