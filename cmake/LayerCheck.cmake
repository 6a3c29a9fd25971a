# The layers of the source tree and what each may include: a source of a
# folder includes project headers only from the folders its row names. Run at
# configure time (CMakeLists.txt) and before each build; on its own:
#   cmake -DSETUP_SOURCE_DIR=<tree> -P cmake/LayerCheck.cmake
#
if(CMAKE_SCRIPT_MODE_FILE)
  cmake_minimum_required(VERSION 3.25)
endif()

# folder          may include (besides itself)
set(SETUP_LAYERS
  "platform       |"
  "common         | platform"
  "script         | common platform"
  "files          | script common platform"
  "system         | files script common platform"
  "engine         | system files script common platform"
  "ui             | engine system files script common platform lang"
  "ui/terminal    | ui engine system files script common platform"
  "ui/win32       | ui engine system files script common platform"
  "app            | ui/terminal ui/win32 ui engine system files script common platform"
)

# Fails with every include that breaks a rule, as file:line.
function(setup_check_layers source_dir)
  set(violations "")
  foreach(row IN LISTS SETUP_LAYERS)
    string(REPLACE "|" ";" fields "${row}")
    list(GET fields 0 folder)
    list(GET fields 1 allowed)
    string(STRIP "${folder}" folder)
    string(STRIP "${allowed}" allowed)
    separate_arguments(allowed)
    list(APPEND allowed ${folder})
    # platform/ with its backends; ui/ without its views (they have rows).
    if(folder STREQUAL "platform")
      file(GLOB_RECURSE sources ${source_dir}/${folder}/*.cpp ${source_dir}/${folder}/*.h)
    else()
      file(GLOB sources ${source_dir}/${folder}/*.cpp ${source_dir}/${folder}/*.h)
    endif()
    foreach(source IN LISTS sources)
      file(STRINGS ${source} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
      foreach(line IN LISTS lines)
        string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*" "\\1" header "${line}")
        if(NOT header MATCHES "/")
          continue() # a header beside the source
        endif()
        # The longest folder with a row that the header lies in.
        set(layer "")
        foreach(candidate IN ITEMS ui/terminal ui/win32 platform common script files system engine ui app lang)
          if(header MATCHES "^${candidate}/" AND layer STREQUAL "")
            set(layer ${candidate})
          endif()
        endforeach()
        if(layer STREQUAL "")
          continue() # not a folder of the program
        endif()
        if(NOT layer IN_LIST allowed)
          file(RELATIVE_PATH relative ${source_dir} ${source})
          list(JOIN allowed " " allowedText)
          list(APPEND violations
               "${relative}: includes ${header} (${folder}/ may include ${allowedText})")
        endif()
      endforeach()
    endforeach()
  endforeach()
  if(violations)
    foreach(violation IN LISTS violations)
      message(NOTICE "layer rule broken: ${violation}")
    endforeach()
    list(LENGTH violations count)
    message(FATAL_ERROR "${count} include(s) break the layer rules of cmake/LayerCheck.cmake")
  endif()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE)
  setup_check_layers(${SETUP_SOURCE_DIR})
endif()
