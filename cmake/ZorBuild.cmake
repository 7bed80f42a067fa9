# One INTERFACE target that every target of the project links: the language
# standard, the warnings and the Qt defines that keep the code explicit.
add_library(zor_build INTERFACE)
target_compile_features(zor_build INTERFACE cxx_std_20)
set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)

target_compile_options(zor_build INTERFACE
    -Wall -Wextra -Wshadow -Wold-style-cast -Wnon-virtual-dtor
    -Wpedantic -Wcast-align -Wunused -Woverloaded-virtual -Wformat=2)
if(ZOR_WERROR)
    target_compile_options(zor_build INTERFACE -Werror)
endif()

target_compile_definitions(zor_build INTERFACE
    QT_NO_CAST_TO_ASCII
    QT_NO_CAST_FROM_BYTEARRAY
    QT_NO_URL_CAST_FROM_STRING
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
    QT_NO_FOREACH
    QT_NO_KEYWORDS
    QT_NO_JAVA_STYLE_ITERATORS
    QT_DISABLE_DEPRECATED_BEFORE=0x060400)

if(ZOR_SANITIZE)
    set(_zor_san -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_compile_options(zor_build INTERFACE ${_zor_san})
    target_link_options(zor_build INTERFACE ${_zor_san})
endif()

if(ZOR_FUZZ)
    # Libraries get coverage instrumentation; the fuzz targets link the driver.
    set(_zor_fuzz -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
    target_compile_options(zor_build INTERFACE ${_zor_fuzz})
    target_link_options(zor_build INTERFACE -fsanitize=address,undefined)
endif()

# zor_add_qtest(NAME SOURCES... LIBS ...): one Qt Test executable run by CTest,
# offscreen, with a private runtime folder.
function(zor_add_qtest name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE zor_build Qt6::Test ${ARG_LIBS})
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;XDG_RUNTIME_DIR=${ZOR_TEST_RUNTIME_DIR}"
        LABELS "${ARG_LABELS}"
        TIMEOUT 600)
endfunction()

set(ZOR_TEST_RUNTIME_DIR ${CMAKE_BINARY_DIR}/xdg-runtime)
file(MAKE_DIRECTORY ${ZOR_TEST_RUNTIME_DIR})
file(CHMOD ${ZOR_TEST_RUNTIME_DIR} DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)

# Adds every sub-folder of the current folder that has a CMakeLists.txt, in
# name order: each module keeps its tests, benchmarks and fuzz targets in a
# folder of its own.
function(zor_add_subfolders)
    file(GLOB _parts LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}
        ${CMAKE_CURRENT_SOURCE_DIR}/*)
    list(SORT _parts)
    foreach(_part IN LISTS _parts)
        if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${_part}/CMakeLists.txt)
            add_subdirectory(${_part})
        endif()
    endforeach()
endfunction()

# zor_install_link(DESTINATION NAME TARGET): installs the symbolic link
# DESTINATION/NAME pointing at TARGET, as written (relative to the link's
# folder, or absolute).
function(zor_install_link destination name target)
    string(MAKE_C_IDENTIFIER "${destination}" _folder)
    set(_link ${CMAKE_CURRENT_BINARY_DIR}/install-links/${_folder}/${name})
    file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/install-links/${_folder})
    file(CREATE_LINK ${target} ${_link} SYMBOLIC)
    install(FILES ${_link} DESTINATION ${destination})
endfunction()

# zor_install_command(NAME EXECUTABLE): a command on the PATH that is a link
# to an executable of the installed program folder, which the program finds
# as the folder of its executable.
function(zor_install_command name executable)
    file(RELATIVE_PATH _target ${CMAKE_INSTALL_FULL_BINDIR}
        ${CMAKE_INSTALL_PREFIX}/${ZOR_INSTALL_PROGRAM_DIR}/${executable})
    zor_install_link(${CMAKE_INSTALL_BINDIR} ${name} ${_target})
endfunction()
