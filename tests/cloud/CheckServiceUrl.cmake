# Runs the configure-time address check on URL, as the build does for ORVANTA_SERVICE_URL.
include(${MODULE})
set(ORVANTA_SERVICE_URL "${URL}")
orvanta_check_base_url(ORVANTA_SERVICE_URL)
message(STATUS "accepted: ${URL}")
