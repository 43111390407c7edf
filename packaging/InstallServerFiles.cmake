# Installs the server's systemd unit and configuration sample for the prefix
# in force at install time; run by `cmake --install` and by CPack with the
# SERVCLIENTE_* folders set before it (packaging/CMakeLists.txt).
#
# Under the /usr prefix the configuration goes to /etc, as GNUInstallDirs
# has it; under another prefix to PREFIX/etc. A configuration already there is
# kept: it is the administrator's.
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
    set(SERVCLIENTE_ETC /etc)
else()
    set(SERVCLIENTE_ETC "${CMAKE_INSTALL_PREFIX}/${SERVCLIENTE_SYSCONFDIR}")
endif()
set(SERVCLIENTE_APPSERVER "${CMAKE_INSTALL_PREFIX}/${SERVCLIENTE_BINDIR}/appserver")
set(SERVCLIENTE_DOC "${CMAKE_INSTALL_PREFIX}/${SERVCLIENTE_DATAROOTDIR}/doc/servcliente-server")

configure_file("${SERVCLIENTE_SOURCE}/servcliente.service.in" "${SERVCLIENTE_WORK}/servcliente.service" @ONLY)
file(INSTALL "${SERVCLIENTE_WORK}/servcliente.service"
     DESTINATION "${CMAKE_INSTALL_PREFIX}/lib/systemd/system")

if(EXISTS "$ENV{DESTDIR}${SERVCLIENTE_ETC}/servcliente/appserver.conf")
    message(STATUS "Kept: $ENV{DESTDIR}${SERVCLIENTE_ETC}/servcliente/appserver.conf")
else()
    file(INSTALL "${SERVCLIENTE_SOURCE}/appserver.conf" DESTINATION "${SERVCLIENTE_ETC}/servcliente")
endif()
