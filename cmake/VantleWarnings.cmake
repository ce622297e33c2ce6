# Warnings are set on each target of the project, never globally, so code that is not
# ours (a library found on the system, the fuzz project's instrumented copy) keeps the
# flags it was written for.

# vantle_warnings(TARGET...): the project's warnings, fatal with VANTLE_WERROR.
function(vantle_warnings)
    foreach(target ${ARGN})
        target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
        if(VANTLE_WERROR)
            target_compile_options(${target} PRIVATE -Werror)
        endif()
    endforeach()
endfunction()

# vantle_require_warnings(DIR): stops the configuration when a target that compiles code
# under DIR was added without vantle_warnings, so a new target cannot slip through.
function(vantle_require_warnings dir)
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target ${targets})
        get_target_property(type ${target} TYPE)
        if(type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY)$")
            get_target_property(options ${target} COMPILE_OPTIONS)
            if(NOT "-Wall" IN_LIST options)
                message(FATAL_ERROR "${target} (${dir}) has no warnings: call vantle_warnings(${target})")
            endif()
        endif()
    endforeach()
    get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    foreach(subdir ${subdirs})
        vantle_require_warnings(${subdir})
    endforeach()
endfunction()
