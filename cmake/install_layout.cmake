# Where an installation keeps each kind of file (GNUInstallDirs), and the defaults the
# programs compile in. A build for the source tree keeps the defaults the tests and the
# demo expect (registry file /etc/kzmta/registry.reg, lock files in /tmp, Bayes.db in the
# Application Directory); a build for installing (KZ_SYSTEM_PATHS, as the Debian package
# builds) keeps mutable state out of /etc and the library folder:
#   ${sysconfdir}/kzmta          read-only configuration: the FILTERS tree
#   ${localstatedir}/lib/kzmta   the registry file the agent rewrites, Bayes.db
#   ${localstatedir}/spool/kzmta the queue, bad mail, quarantine, mail root
#   ${localstatedir}/log/kzmta   the daily report logs
#   ${runstatedir}/kzmta         cross-process lock files and the milter's socket
#   ${libdir}/kzmta              the agent and the provider libraries (Application Directory)
include(GNUInstallDirs)

option(KZ_SYSTEM_PATHS "Compile in the installed layout's paths as the programs' defaults" OFF)

set(KZ_LIBRARY_DIR ${CMAKE_INSTALL_LIBDIR}/kzmta)
set(KZ_FULL_LIBRARY_DIR ${CMAKE_INSTALL_FULL_LIBDIR}/kzmta)
set(KZ_CONF_DIR ${CMAKE_INSTALL_FULL_SYSCONFDIR}/kzmta)
set(KZ_STATE_DIR ${CMAKE_INSTALL_FULL_LOCALSTATEDIR}/lib/kzmta)
set(KZ_SPOOL_DIR ${CMAKE_INSTALL_FULL_LOCALSTATEDIR}/spool/kzmta)
set(KZ_LOG_DIR ${CMAKE_INSTALL_FULL_LOCALSTATEDIR}/log/kzmta)
set(KZ_RUN_DIR ${CMAKE_INSTALL_FULL_RUNSTATEDIR}/kzmta)

# Only a build for installing changes the compiled-in defaults (src/base/default_paths.h),
# so the command lines of every other build, and their cached objects, stay as they are.
if(KZ_SYSTEM_PATHS)
    add_compile_definitions(KZ_DEFAULT_REGISTRY="${KZ_STATE_DIR}/registry.reg"
                            KZ_DEFAULT_RUNTIME_DIR="${KZ_RUN_DIR}"
                            KZ_DEFAULT_STATE_DIR="${KZ_STATE_DIR}"
                            KZ_DEFAULT_LIBRARY_DIR="${KZ_FULL_LIBRARY_DIR}")
endif()
