# Validates AppStream metainfo files and checks that the newest release each one names is the
# version being built, so software centres show the version that is installed.
#   cmake -DAPPSTREAMCLI=… -DVERSION=… -DFILES=a;b -P CheckMetainfo.cmake
execute_process(COMMAND ${APPSTREAMCLI} validate --no-net --strict --pedantic ${FILES}
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "appstreamcli rejects the metainfo:\n${output}")
endif()
foreach(file IN LISTS FILES)
    file(READ ${file} text)
    string(REGEX MATCH "<release[^>]* version=\"([^\"]*)\"" release "${text}")
    if(NOT CMAKE_MATCH_1 STREQUAL VERSION)
        message(FATAL_ERROR
            "${file}: the newest release is \"${CMAKE_MATCH_1}\", the project is ${VERSION}")
    endif()
endforeach()
