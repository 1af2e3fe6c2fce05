# Shared build helpers.

add_library(tavrin_warnings INTERFACE)
target_compile_options(tavrin_warnings INTERFACE -Wall -Wextra -Wshadow -Wno-missing-field-initializers)
if(TAVRIN_WERROR)
  target_compile_options(tavrin_warnings INTERFACE -Werror)
  # GCC 12's flow-based warnings misfire on std::vector and string copies once
  # inlined at -O2/-O3; they stay visible but do not fail the build.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(tavrin_warnings INTERFACE
      -Wno-error=array-bounds -Wno-error=restrict -Wno-error=stringop-overflow
      -Wno-error=stringop-overread -Wno-error=stringop-truncation)
  endif()
endif()

# Adds every listed folder that has a CMakeLists.txt of its own.
function(tavrin_add_subdirs)
  foreach(dir IN LISTS ARGN)
    if(EXISTS ${PROJECT_SOURCE_DIR}/${dir}/CMakeLists.txt)
      add_subdirectory(${dir})
    endif()
  endforeach()
endfunction()

# tavrin_static_library(NAME DIRS dir... [LINK lib...] [EXCLUDE regex])
# A static library made of every .cpp/.c under the given folders.
function(tavrin_static_library name)
  cmake_parse_arguments(A "" "EXCLUDE" "DIRS;LINK" ${ARGN})
  set(srcs)
  foreach(dir IN LISTS A_DIRS)
    file(GLOB found CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${dir}/*.cpp ${PROJECT_SOURCE_DIR}/${dir}/*.c)
    list(APPEND srcs ${found})
  endforeach()
  if(A_EXCLUDE)
    list(FILTER srcs EXCLUDE REGEX "${A_EXCLUDE}")
  endif()
  if(NOT srcs)
    set(stub ${CMAKE_CURRENT_BINARY_DIR}/${name}_empty.cpp)
    file(WRITE ${stub} "// ${name} has no sources yet\n")
    set(srcs ${stub})
  endif()
  add_library(${name} STATIC ${srcs})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)
  target_link_libraries(${name} PUBLIC ${A_LINK} Threads::Threads PRIVATE tavrin_warnings)
endfunction()

# tavrin_test_folder(FOLDER LINK lib...)
# One GoogleTest executable per test folder:
#   *_test.cpp        -> <name>_tests          label unit
#   *_thread_test.cpp -> <name>_thread_tests   label threaded (run under ASan and TSan)
#   *_lab_test.cpp    -> <name>_lab_tests      label lab (needs the lab, root)
#   *_ui_test.cpp     -> <name>_ui_tests       label ui (offscreen widgets)
# Files without those suffixes (fixtures, fakes) are shared by all of them.
function(tavrin_test_folder folder)
  cmake_parse_arguments(A "" "" "LINK" ${ARGN})
  string(REPLACE "/" "_" name ${folder})
  set(dir ${PROJECT_SOURCE_DIR}/tests/${folder})
  file(GLOB all CONFIGURE_DEPENDS ${dir}/*.cpp)
  set(helpers ${all})
  list(FILTER helpers EXCLUDE REGEX "_test\\.cpp$")
  foreach(kind unit thread lab ui)
    # The TSan build runs only the threaded tests; defining the others there would
    # leave CTest with executables that were never built.
    if(TAVRIN_THREADED_ONLY AND NOT kind STREQUAL "thread")
      continue()
    endif()
    if(kind STREQUAL "unit")
      file(GLOB srcs CONFIGURE_DEPENDS ${dir}/*_test.cpp)
      list(FILTER srcs EXCLUDE REGEX "_(thread|lab|ui)_test\\.cpp$")
      set(exe ${name}_tests)
      set(labels unit)
    else()
      file(GLOB srcs CONFIGURE_DEPENDS ${dir}/*_${kind}_test.cpp)
      set(exe ${name}_${kind}_tests)
      if(kind STREQUAL "thread")
        set(labels threaded)
      else()
        set(labels ${kind})
      endif()
    endif()
    if(NOT srcs)
      continue()
    endif()
    if(kind STREQUAL "lab")
      list(APPEND helpers ${PROJECT_SOURCE_DIR}/tests/support/lab_slot.cpp)
    endif()
    add_executable(${exe} ${srcs} ${helpers})
    target_link_libraries(${exe} PRIVATE ${A_LINK} GTest::gtest GTest::gmock GTest::gtest_main tavrin_warnings)
    target_include_directories(${exe} PRIVATE ${PROJECT_SOURCE_DIR} ${dir})
    # Discovered tests take only single-valued properties: a list loses its
    # semicolons on the way through the discovery script. The environment the tests
    # need (offscreen Qt, quiet Avahi) is exported by scripts/test, and the lab tests
    # find the build and the lab beside their own executable.
    set(extra)
    if(kind STREQUAL "lab")
      # Three labs for the lab tests of this build, brought up by the tavrin_lab
      # fixture. A test has a lab to itself (one renames or silences a device that
      # another polls): run with --resource-spec-file tests/lab_resources.json, CTest
      # gives each test one of them and runs at most three at once; without it, run
      # them one at a time (-j1), all on the first lab.
      set(extra FIXTURES_REQUIRED tavrin_lab RESOURCE_GROUPS labs:1)
    endif()
    gtest_discover_tests(${exe} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                         PROPERTIES LABELS ${labels} ${extra})
    if(kind STREQUAL "thread")
      set_property(GLOBAL APPEND PROPERTY TAVRIN_THREADED_TESTS ${exe})
    elseif(kind STREQUAL "lab")
      set_property(GLOBAL APPEND PROPERTY TAVRIN_LAB_TESTS ${exe})
    else()
      set_property(GLOBAL APPEND PROPERTY TAVRIN_UNIT_TESTS ${exe})
    endif()
  endforeach()
endfunction()

# tavrin_qt_library(NAME DIRS dir... [LINK lib...] [EXCLUDE regex] [ONLY regex])
# A static library of Qt widget code (moc on), made of the .cpp files under the
# given folders; ONLY keeps just the files that match.
function(tavrin_qt_library name)
  cmake_parse_arguments(A "" "EXCLUDE;ONLY" "DIRS;LINK" ${ARGN})
  set(srcs)
  foreach(dir IN LISTS A_DIRS)
    file(GLOB found CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${dir}/*.cpp)
    list(APPEND srcs ${found})
  endforeach()
  if(A_ONLY)
    list(FILTER srcs INCLUDE REGEX "${A_ONLY}")
  endif()
  if(A_EXCLUDE)
    list(FILTER srcs EXCLUDE REGEX "${A_EXCLUDE}")
  endif()
  if(NOT srcs)
    set(stub ${CMAKE_CURRENT_BINARY_DIR}/${name}_empty.cpp)
    file(WRITE ${stub} "// ${name} has no sources yet\n")
    set(srcs ${stub})
  endif()
  add_library(${name} STATIC ${srcs})
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)
  target_link_libraries(${name} PUBLIC ${A_LINK} Qt6::Widgets Threads::Threads PRIVATE tavrin_warnings)
endfunction()

# tavrin_feature_folder(NAME [LINK lib...])
# A feature folder (pages, presets, firmware, utilities): its plain C++ logic forms
# the library NAME; its widget code (*_qt.cpp) forms NAME_ui on top of it and of
# platformui, when Qt is there.
function(tavrin_feature_folder name)
  cmake_parse_arguments(A "" "" "LINK" ${ARGN})
  tavrin_static_library(${name} DIRS ${name} EXCLUDE "_qt\\.cpp$" LINK ${A_LINK})
  if(TARGET platformui)
    tavrin_qt_library(${name}_ui DIRS ${name} ONLY "_qt\\.cpp$" LINK ${name} platformui)
  endif()
endfunction()
