# Packages from npm, installed at build time exactly as a committed package-lock.json
# pins them (npm ci, no install scripts), into a folder of the build.
#
#   kz_npm_packages(SOURCE_DIR DESTINATION STAMP)
# SOURCE_DIR holds package.json and package-lock.json; STAMP is a file the install makes
# (inside DESTINATION/node_modules), the OUTPUT that rules depend on.
function(kz_npm_packages source destination stamp)
    find_program(KZ_NPM npm REQUIRED)
    add_custom_command(OUTPUT ${stamp}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${destination}
        COMMAND ${CMAKE_COMMAND} -E copy ${source}/package.json ${source}/package-lock.json ${destination}
        COMMAND ${KZ_NPM} ci --prefix ${destination} --no-audit --no-fund --ignore-scripts --loglevel=error
        COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
        DEPENDS ${source}/package.json ${source}/package-lock.json
        VERBATIM)
endfunction()
