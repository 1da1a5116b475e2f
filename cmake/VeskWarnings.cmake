# Warnings are on for everything we compile; CI turns them into errors.
# Designated initializers leave fields at their defaults on purpose.
add_compile_options(-Wall -Wextra -Wshadow -Wnon-virtual-dtor -Wold-style-cast
                    -Wno-missing-field-initializers)
if(VESK_WERROR)
  add_compile_options(-Werror)
endif()
