# Warnings are on for everything we compile; CI turns them into errors.
add_compile_options(-Wall -Wextra -Wshadow -Wnon-virtual-dtor -Wold-style-cast)
if(VESK_WERROR)
  add_compile_options(-Werror)
endif()
