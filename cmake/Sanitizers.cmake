# Applies QUELLIX_SANITIZE ("address,undefined" or "thread") to every target.
if(QUELLIX_SANITIZE)
  # -O1 is the level the sanitizers are tuned for: reports stay exact and the builds compile quickly.
  add_compile_options(-O1 -fsanitize=${QUELLIX_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${QUELLIX_SANITIZE})
endif()

# Coverage instrumentation for the whole fuzz build, so the fuzzers see the code under test.
if(QUELLIX_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
