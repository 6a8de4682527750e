# Writes app/build_info.h: the version, the development flag and the development stamp
# ("<git describe> <build date>"). Run at every build; the file only changes when a value does.
set(stamp "")
find_package(Git QUIET)
if(GIT_FOUND)
    execute_process(COMMAND ${GIT_EXECUTABLE} describe --tags --always --dirty
                    WORKING_DIRECTORY ${SOURCE_DIR}
                    OUTPUT_VARIABLE describe OUTPUT_STRIP_TRAILING_WHITESPACE
                    RESULT_VARIABLE status ERROR_QUIET)
    if(status EQUAL 0 AND describe)
        set(stamp "${describe}")
    endif()
endif()
string(TIMESTAMP today "%Y-%m-%d")
if(stamp)
    set(stamp "${stamp} ${today}")
endif()
if(DEV_BUILD)
    set(dev true)
else()
    set(dev false)
endif()
file(CONFIGURE OUTPUT ${OUTPUT} CONTENT [=[
#pragma once
// Generated at build time by app/build_info.cmake.
#define KELVO_BUILD_VERSION "@VERSION@"
#define KELVO_BUILD_DEV @dev@
#define KELVO_BUILD_DEV_STAMP "@stamp@"
]=] @ONLY)
