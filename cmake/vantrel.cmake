# Build helpers shared by every subsystem.

if(WIN32)
  set(VANTREL_WINDOWS ON)
  # Deliverables must run in a bare prefix or on a bare Windows: no MinGW runtime DLLs.
  add_link_options(-static -static-libgcc -static-libstdc++)
  add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
  add_compile_options(-Wall -Wextra -Wno-unused-parameter)
  # The deliverables land in bin, laid out like the installed programs' folder and holding
  # nothing else (vantrel_deliverables). Test programs and test doubles land in testbin,
  # beside copies of the deliverables, since modules find each other beside themselves; a
  # double there (one registers under the monitor's class id) never reaches an installation.
  set(VANTREL_BIN ${CMAKE_BINARY_DIR}/bin)
  set(VANTREL_TESTBIN ${CMAKE_BINARY_DIR}/testbin)
  set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${VANTREL_TESTBIN})
  # Every Windows test runs in this build's own prefix, through wine64.
  set(VANTREL_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/tools/wine-run --prefix ${VANTREL_WINEPREFIX})
  # The 64-bit build runs its tests under wine64. This kernel runs no 32-bit code, so the
  # 32-bit build's tests run only under emulated 32-bit Wine: tools/test-i686.sh turns them on.
  option(VANTREL_EMULATED_WINE32 "register the 32-bit build's tests (run by tools/test-i686.sh)" OFF)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8 OR VANTREL_EMULATED_WINE32)
    set(VANTREL_RUN_TESTS ON)
  else()
    set(VANTREL_RUN_TESTS OFF)
  endif()
else()
  set(VANTREL_WINDOWS OFF)
  set(VANTREL_RUN_TESTS ON)
  add_compile_options(-Wall -Wextra)
  if(NOT DEFINED VANTREL_SANITIZE OR VANTREL_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
  endif()
endif()

# GoogleTest from Debian's source package, built for this target.
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
if(VANTREL_WINDOWS)
  # gtest's own sources trip -Wextra under MinGW; they are not ours to fix.
  target_compile_options(gtest PRIVATE -w)
  target_compile_options(gtest_main PRIVATE -w)
endif()

if(VANTREL_WINDOWS)
  # Prefix lifetime for a test run: created on first use, one wineserver kept alive, stopped at the end.
  add_test(NAME wine_prefix_start COMMAND ${CMAKE_SOURCE_DIR}/tools/wineprefix.sh start ${VANTREL_WINEPREFIX})
  set_tests_properties(wine_prefix_start PROPERTIES FIXTURES_SETUP wine)
  add_test(NAME wine_prefix_stop COMMAND ${CMAKE_SOURCE_DIR}/tools/wineprefix.sh stop ${VANTREL_WINEPREFIX})
  set_tests_properties(wine_prefix_stop PROPERTIES FIXTURES_CLEANUP wine)
endif()

# Every test that creates, starts, controls or deletes a service, or runs a service
# dispatcher, takes this one lock. Wine's SCM hands a starting service the name of its
# control pipe through one registry value that any dispatcher reads: a dispatcher started
# outside the SCM (the service-host control's own test) can connect to the pipe of a
# service another test is starting, and each then sees the other's controls.
set(VANTREL_SCM_LOCK wine_scm)

# vantrel_widl(<out_var> <idl>): header, type library and GUID file from an IDL file.
# Sets <out_var>_HEADER, <out_var>_TLB and <out_var>_IID.
function(vantrel_widl out idl)
  get_filename_component(base ${idl} NAME_WE)
  set(dir ${CMAKE_CURRENT_BINARY_DIR})
  set(h ${dir}/${base}.h)
  set(tlb ${dir}/${base}.tlb)
  set(iid ${dir}/${base}_i.c)
  add_custom_command(
    OUTPUT ${h} ${tlb} ${iid}
    COMMAND ${VANTREL_WIDL} -I/usr/include/wine/wine/windows -L${VANTREL_WINE_DLLDIR}
            -h -H ${h} -t -T ${tlb} -u -U ${iid} ${CMAKE_CURRENT_SOURCE_DIR}/${idl}
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${idl}
    COMMENT "widl ${idl}")
  set(${out}_HEADER ${h} PARENT_SCOPE)
  set(${out}_TLB ${tlb} PARENT_SCOPE)
  set(${out}_IID ${iid} PARENT_SCOPE)
endfunction()

# vantrel_widl_client(<name> <out_var>): after vantrel_widl, the target <name>_idl that
# makes its files and the library <name>_client: the ids (the GUID file) and the folder of
# the generated header, for the server itself and for every program that uses it.
function(vantrel_widl_client name out)
  add_custom_target(${name}_idl DEPENDS ${${out}_HEADER} ${${out}_TLB} ${${out}_IID})
  add_library(${name}_client STATIC ${${out}_IID})
  add_dependencies(${name}_client ${name}_idl)
  target_include_directories(${name}_client PUBLIC ${CMAKE_CURRENT_BINARY_DIR})
endfunction()

# vantrel_test(<name> SOURCES ... LIBS ... [FIXTURES ...] [LOCK ...]): one GoogleTest
# program, run by ctest (under wine64 for Windows builds).
function(vantrel_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;FIXTURES;LOCK;DEPENDS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} gtest_main gtest)
  if(T_DEPENDS)
    add_dependencies(${name} ${T_DEPENDS})
  endif()
  if(NOT VANTREL_RUN_TESTS)
    return()
  endif()
  add_test(NAME ${name} COMMAND ${name})
  set(fixtures ${T_FIXTURES})
  if(VANTREL_WINDOWS)
    list(APPEND fixtures wine)
  endif()
  if(fixtures)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED "${fixtures}")
  endif()
  if(T_LOCK)
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK "${T_LOCK}")
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT 300)
endfunction()

# Windows path of a file in the build tree, as Wine's Z: drive sees it.
function(vantrel_winpath out path)
  string(REPLACE "/" "\\" p "${path}")
  set(${out} "Z:${p}" PARENT_SCOPE)
endfunction()

# vantrel_deliverables(<target>...): the modules an installation needs go to bin, and a copy
# of each to testbin for the tests that run beside them.
function(vantrel_deliverables)
  set(copies)
  foreach(t ${ARGN})
    set_target_properties(${t} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${VANTREL_BIN})
    list(APPEND copies COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:${t}> ${VANTREL_TESTBIN})
  endforeach()
  add_custom_target(testbin_deliverables ALL
    COMMAND ${CMAKE_COMMAND} -E make_directory ${VANTREL_TESTBIN} ${copies}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${VANTREL_BIN}/Quillaby.tlb ${VANTREL_TESTBIN}
    VERBATIM)
  add_dependencies(testbin_deliverables ${ARGN})
endfunction()

# vantrel_message_dll(<target> <file.mc>): a resource-only DLL holding the message table of
# an event source, made with windmc and windres. Code that writes under the source links
# <target>_ids for windmc's header of the ids (<file>.h), so that the ids it writes and
# the messages cannot drift apart.
function(vantrel_message_dll target mc)
  get_filename_component(base ${mc} NAME_WE)
  set(out ${CMAKE_CURRENT_BINARY_DIR})
  add_custom_command(
    OUTPUT ${out}/${base}.rc ${out}/${base}.h ${out}/MSG00409.bin
    COMMAND ${VANTREL_MINGW_TRIPLE}-windmc -r ${out} -h ${out} ${mc}
    DEPENDS ${mc}
    COMMENT "windmc ${base}.mc")
  add_library(${target} SHARED ${out}/${base}.rc)
  set_target_properties(${target} PROPERTIES PREFIX "" LINKER_LANGUAGE C)
  target_link_options(${target} PRIVATE -nostdlib -Wl,--entry=0)
  add_custom_target(${target}_header DEPENDS ${out}/${base}.h)
  add_library(${target}_ids INTERFACE)
  target_include_directories(${target}_ids INTERFACE ${out})
  add_dependencies(${target}_ids ${target}_header)
endfunction()

# vantrel_version(<target> DESCRIPTION <text> [VERSION <x.y.z>] [COM_SERVER]): the version
# resource of one deliverable, from the project's version unless another is given. The
# top-level CMakeLists.txt calls it for every deliverable, so that all versions are set in
# one place; the error trap reports the program's version from it.
set(VANTREL_VERSION_TEMPLATE ${CMAKE_CURRENT_LIST_DIR}/version.rc.in)
# The product's version, which every deliverable carries unless given its own; the
# installation packages are named by it (tools/package.sh reads it from the build tree).
set(VANTREL_PRODUCT_VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.0)
file(WRITE ${CMAKE_BINARY_DIR}/product-version.txt "${VANTREL_PRODUCT_VERSION}\n")
function(vantrel_version target)
  cmake_parse_arguments(V "COM_SERVER" "DESCRIPTION;VERSION" "" ${ARGN})
  if(NOT V_VERSION)
    set(V_VERSION ${VANTREL_PRODUCT_VERSION})
  endif()
  string(REPLACE "." ";" parts ${V_VERSION})
  list(GET parts 0 V_MAJOR)
  list(GET parts 1 V_MINOR)
  list(GET parts 2 V_PATCH)
  get_target_property(type ${target} TYPE)
  get_target_property(name ${target} OUTPUT_NAME)
  if(NOT name)
    set(name ${target})
  endif()
  get_target_property(suffix ${target} SUFFIX)
  if(NOT suffix)
    if(type STREQUAL "EXECUTABLE")
      set(suffix ".exe")
    else()
      set(suffix ".dll")
    endif()
  endif()
  if(type STREQUAL "EXECUTABLE")
    set(V_TYPE VFT_APP)
  else()
    set(V_TYPE VFT_DLL)
  endif()
  set(V_INTERNAL ${name})
  set(V_FILE ${name}${suffix})
  set(V_SELF_REGISTER "")
  if(V_COM_SERVER)
    set(V_SELF_REGISTER "      VALUE \"OLESelfRegister\", \"\\0\"")
  endif()
  set(rc ${CMAKE_BINARY_DIR}/version/${target}_version.rc)
  configure_file(${VANTREL_VERSION_TEMPLATE} ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()

# vantrel_fuzz(<name> SOURCES ... CORE <lib> RUNS <n> MAX_LEN <n> [SEEDS file-or-dir...]):
# a libFuzzer program over a portable core (host build with clang only). The core's own
# sources are compiled into the program: a library built without -fsanitize=fuzzer would
# leave the fuzzer blind to the code under test. Seeds are real inputs; the test is a
# short, bounded run from them, and tools/fuzz-long.sh runs the same program for long.
function(vantrel_fuzz name)
  if(VANTREL_WINDOWS OR NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    return()
  endif()
  cmake_parse_arguments(F "" "CORE;RUNS;MAX_LEN" "SOURCES;SEEDS" ${ARGN})
  get_target_property(core_sources ${F_CORE} SOURCES)
  get_target_property(core_dir ${F_CORE} SOURCE_DIR)
  set(sources)
  foreach(s ${core_sources})
    if(IS_ABSOLUTE ${s})
      list(APPEND sources ${s})
    else()
      list(APPEND sources ${core_dir}/${s})
    endif()
  endforeach()
  add_executable(${name} ${F_SOURCES} ${sources})
  target_include_directories(${name} PRIVATE $<TARGET_PROPERTY:${F_CORE},INTERFACE_INCLUDE_DIRECTORIES>)
  target_link_libraries(${name} PRIVATE $<TARGET_PROPERTY:${F_CORE},INTERFACE_LINK_LIBRARIES>)
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  # The seed files, one list for the short run here and the long runs of tools/fuzz-long.sh.
  set(seeds)
  foreach(s ${F_SEEDS})
    if(IS_DIRECTORY ${s})
      file(GLOB dir_seeds ${s}/*)
      list(APPEND seeds ${dir_seeds})
    elseif(EXISTS ${s})
      list(APPEND seeds ${s})
    else()
      message(FATAL_ERROR "vantrel_fuzz(${name}): no seed ${s}")
    endif()
  endforeach()
  list(JOIN seeds "," seed_list)
  file(WRITE ${CMAKE_BINARY_DIR}/fuzz/${name}.seeds "${seed_list}")
  file(WRITE ${CMAKE_BINARY_DIR}/fuzz/${name}.max_len "${F_MAX_LEN}")
  if(VANTREL_RUN_TESTS)
    add_test(NAME ${name} COMMAND ${name} -runs=${F_RUNS} -max_len=${F_MAX_LEN} -seed=1
                                  -seed_inputs=@${CMAKE_BINARY_DIR}/fuzz/${name}.seeds)
    set_tests_properties(${name} PROPERTIES TIMEOUT 300)
  endif()
endfunction()
