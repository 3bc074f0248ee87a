# Flags every target of the project shares: link ledgerdesk_common.
add_library(ledgerdesk_common INTERFACE)
target_include_directories(ledgerdesk_common INTERFACE ${PROJECT_SOURCE_DIR})
# All narrow text in memory is GBK: sources are UTF-8, literals compiled to GBK.
target_compile_options(ledgerdesk_common INTERFACE
  -Wall -Wextra -finput-charset=UTF-8 -fexec-charset=GBK)

if(LEDGERDESK_ASAN)
  target_compile_options(ledgerdesk_common INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(ledgerdesk_common INTERFACE -fsanitize=address,undefined)
endif()
if(LEDGERDESK_TSAN)
  target_compile_options(ledgerdesk_common INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(ledgerdesk_common INTERFACE -fsanitize=thread)
endif()

# add_ledgerdesk_library(name sources...): one static library per folder.
function(add_ledgerdesk_library name)
  add_library(${name} STATIC ${ARGN})
  target_link_libraries(${name} PUBLIC ledgerdesk_common)
endfunction()

# add_folders(dirs...): adds each folder that has a CMakeLists.txt, in order (folders of later
# work may not exist yet).
function(add_folders)
  foreach(dir ${ARGN})
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
      add_subdirectory(${dir})
    endif()
  endforeach()
endfunction()
