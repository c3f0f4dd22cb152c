# Checks of the build-time service addresses. Tokens are sent to the service base, so it must be
# https, or plain http only to this machine (a service under development).

# Fails the configuration when the value of the variable `name` cannot serve as a base.
function(orvanta_check_base_url name)
    set(url "${${name}}")
    if(url MATCHES "[\"\\\\ \t\r\n]")
        message(FATAL_ERROR "${name} (\"${url}\") must not contain quotes, backslashes or spaces.")
    endif()
    if(url MATCHES "^https://[^/?#]+")
        return()
    endif()
    if(url MATCHES "^http://")
        if(url MATCHES "^http://(127\\.0\\.0\\.1|\\[::1\\]|localhost)(:[0-9]+)?([/?#].*)?$")
            return()
        endif()
        message(FATAL_ERROR "${name} (\"${url}\") uses plain http:// for a host other than "
            "127.0.0.1, ::1 or localhost. Sign-in tokens never travel unencrypted: use https://.")
    endif()
    message(FATAL_ERROR "${name} (\"${url}\") must be an absolute https:// URL.")
endfunction()
