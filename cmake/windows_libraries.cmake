# What every Windows library the build makes gets: plain export names, a version
# resource that names the library, and in the agent library the message table of the
# event source, so that the agent library is the EventMessageFile an installer registers.

enable_language(RC)
set(KZ_VERSION 1.0.0)
set(KZ_RESOURCE_DIR ${CMAKE_CURRENT_LIST_DIR})

# What each library is, as Explorer's properties and the event source show it.
set(KZ_DESCRIPTION_KZMTAFILTER "Message filter agent")
set(KZ_DESCRIPTION_KZAISO "Post office and mailbox options")
set(KZ_DESCRIPTION_KZAISP "Mail store library")
set(KZ_DESCRIPTION_KZFLTMSA "SpamAssassin scores from spamd")
set(KZ_DESCRIPTION_KZAVGEN "Antivirus scans by clamd")
set(KZ_DESCRIPTION_KZWINDNS "DNS blacklists")
set(KZ_DESCRIPTION_KZFLTMBF "Bayesian classifier")
set(KZ_DESCRIPTION_KZDomainKeys "DKIM verifier")

# Adds the version resource to one library target.
function(kz_add_version_resource target)
    get_target_property(name ${target} OUTPUT_NAME)
    if(NOT name)
        set(name ${target})
    endif()
    set(KZ_FILE_NAME ${name}.DLL)
    set(KZ_FILE_DESCRIPTION "${KZ_DESCRIPTION_${name}}")
    if(NOT KZ_FILE_DESCRIPTION)
        set(KZ_FILE_DESCRIPTION ${name})
    endif()
    string(REPLACE "." "," KZ_VERSION_COMMAS "${KZ_VERSION},0")
    set(resource ${CMAKE_BINARY_DIR}/resources/${target}_version.rc)
    configure_file(${KZ_RESOURCE_DIR}/version.rc.in ${resource} @ONLY)
    target_sources(${target} PRIVATE ${resource})
endfunction()

# Compiles the message table with windmc and links it into `target`.
function(kz_add_message_table target source)
    set(out ${CMAKE_BINARY_DIR}/resources/messages)
    get_filename_component(base ${source} NAME_WE)
    set(generated ${out}/${base}.rc ${out}/${base}.h ${out}/${base}_MSG00409.bin)
    add_custom_command(
        OUTPUT ${generated}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${out}
        COMMAND ${KZ_WINDMC} -b -h ${out} -r ${out} ${source}
        DEPENDS ${source}
        VERBATIM)
    add_custom_target(${target}_messages DEPENDS ${generated})
    add_dependencies(${target} ${target}_messages)
    # The generated script names its table by a relative path, found through the
    # include folder.
    set(wrapper ${CMAKE_BINARY_DIR}/resources/${target}_messages.rc)
    file(WRITE ${wrapper} "#include \"${base}.rc\"\n")
    set_source_files_properties(${wrapper} TARGET_DIRECTORY ${target} PROPERTIES OBJECT_DEPENDS
                                "${out}/${base}.rc;${out}/${base}_MSG00409.bin")
    target_sources(${target} PRIVATE ${wrapper})
    target_include_directories(${target} PRIVATE ${out})
endfunction()

# Every shared library of `dir` and of the folders below it.
function(kz_shared_libraries dir out)
    set(found)
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target IN LISTS targets)
        get_target_property(type ${target} TYPE)
        if(type STREQUAL "SHARED_LIBRARY")
            list(APPEND found ${target})
        endif()
    endforeach()
    get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    foreach(subdir IN LISTS subdirs)
        kz_shared_libraries(${subdir} below)
        list(APPEND found ${below})
    endforeach()
    set(${out} ${found} PARENT_SCOPE)
endfunction()

function(kz_complete_windows_libraries)
    kz_shared_libraries(${CMAKE_SOURCE_DIR} libraries)
    foreach(library IN LISTS libraries)
        # A 32-bit __stdcall entry is otherwise exported as "Name@N", which a lookup by
        # its plain name does not find.
        target_link_options(${library} PRIVATE -Wl,--kill-at)
        kz_add_version_resource(${library})
    endforeach()
    if(TARGET kzmtafilter)
        kz_add_message_table(kzmtafilter ${CMAKE_SOURCE_DIR}/src/agent/log/event_messages.mc)
    endif()
endfunction()
