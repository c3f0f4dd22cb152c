# Debian packages of the install components, made by `cpack -G DEB` in a build configured
# with CMAKE_INSTALL_PREFIX=/usr (scripts/package.sh): orvanta (component "app") and
# orvanta-service (component "service"). Libraries come from dpkg-shlibdeps; what is loaded at
# run time without being linked (QML modules, the local recogniser's model) is named here.
set(CPACK_PACKAGE_NAME orvanta)
set(CPACK_PACKAGE_VENDOR "Orvanta")
set(CPACK_PACKAGE_CONTACT "Orvanta developers <dev@orvanta.invalid>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL app)
if(ORVANTA_BUILD_SERVICE)
    list(APPEND CPACK_COMPONENTS_ALL service)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://orvanta.invalid")

set(CPACK_DEBIAN_APP_PACKAGE_NAME orvanta)
set(CPACK_DEBIAN_APP_PACKAGE_SECTION utils)
set(CPACK_COMPONENT_APP_DESCRIPTION "Talvo, dictation at your cursor
 Press a global shortcut in any application, speak, press it again, and the
 transcript is pasted where you were typing. Talvo lives in the system tray,
 keeps a history of transcripts and applies your own dictionary and
 replacement rules.")
# FFmpeg is opened when the first recording is encoded, so dpkg-shlibdeps cannot see it:
# Debian names its library packages after the soname's major version.
find_package(PkgConfig REQUIRED)
pkg_check_modules(ORVANTA_PACKAGED_FFMPEG REQUIRED libavcodec libavformat libavutil)
set(ffmpeg_packages "")
foreach(library avcodec avformat avutil)
    string(REGEX MATCH "^[0-9]+" major "${ORVANTA_PACKAGED_FFMPEG_lib${library}_VERSION}")
    string(APPEND ffmpeg_packages "lib${library}${major}, ")
endforeach()
set(CPACK_DEBIAN_APP_PACKAGE_DEPENDS
    "${ffmpeg_packages}qml6-module-qtquick, qml6-module-qtquick-controls, qml6-module-qtquick-layouts, \
qml6-module-qtquick-shapes, qml6-module-qtquick-templates, qml6-module-qtquick-window, \
qml6-module-qtqml-workerscript, xdg-utils")
set(CPACK_DEBIAN_APP_PACKAGE_RECOMMENDS
    "desktop-file-utils, gnome-keyring, pulseaudio | pipewire-pulse")
set(CPACK_DEBIAN_APP_PACKAGE_SUGGESTS "orvanta-service")

set(CPACK_DEBIAN_SERVICE_PACKAGE_NAME orvanta-service)
set(CPACK_DEBIAN_SERVICE_PACKAGE_SECTION net)
set(CPACK_COMPONENT_SERVICE_DESCRIPTION "transcription and account service for Talvo
 orvanta-service serves the API of the Talvo dictation application: sign-in,
 tokens, monthly word allowances, and transcription by an offline recogniser,
 a chat-completions provider that takes audio, or a server of the Whisper
 transcription API. It comes with a hardened systemd unit, orvanta-service.")
set(CPACK_DEBIAN_SERVICE_PACKAGE_DEPENDS "pocketsphinx-en-us")
set(CPACK_DEBIAN_SERVICE_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/packaging/debian/conffiles
    ${PROJECT_SOURCE_DIR}/packaging/debian/postinst
    ${PROJECT_SOURCE_DIR}/packaging/debian/prerm
    ${PROJECT_SOURCE_DIR}/packaging/debian/postrm)

include(CPack)
