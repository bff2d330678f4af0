# Project-wide warning flags. Warnings in our own code are kept at zero; the
# test script turns them into errors.
add_compile_options(-Wall -Wextra -Wno-unused-parameter)
if(DJVP_WERROR)
  add_compile_options(-Werror)
endif()
