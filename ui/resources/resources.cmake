# The resource script in the driver module. Windows compiles tarn2.rc with
# the resource compiler (see CMakeLists.txt); everywhere else the script and
# the headers beside it are embedded into the driver as text, and the POSIX
# window system reads the dialog templates and the version record from them
# when the driver asks. Without a script nothing is added.
if(NOT WIN32)
  file(GLOB TARN2_RC_SCRIPTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.rc)
  file(GLOB TARN2_RC_HEADERS CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.h)
  if(TARN2_RC_SCRIPTS)
    list(GET TARN2_RC_SCRIPTS 0 TARN2_RC_SCRIPT)
    set(TARN2_RC_SOURCE ${CMAKE_BINARY_DIR}/generated/tarn2_resources.cpp)
    string(REPLACE ";" "|" TARN2_RC_HEADER_LIST "${TARN2_RC_HEADERS}")
    # The script is read once at build time, so a fault in it stops the
    # build with its file and line.
    add_executable(tarn2_rccheck ${CMAKE_CURRENT_LIST_DIR}/rccheck.cpp)
    target_link_libraries(tarn2_rccheck PRIVATE tarn2win32)
    add_custom_command(OUTPUT ${TARN2_RC_SOURCE}
      COMMAND tarn2_rccheck ${TARN2_RC_SCRIPT} ${TARN2_RC_HEADERS}
      COMMAND ${CMAKE_COMMAND} -DOUTPUT=${TARN2_RC_SOURCE} -DSCRIPT=${TARN2_RC_SCRIPT}
              -DHEADERS=${TARN2_RC_HEADER_LIST} -P ${CMAKE_CURRENT_LIST_DIR}/embed.cmake
      DEPENDS ${TARN2_RC_SCRIPT} ${TARN2_RC_HEADERS} ${CMAKE_CURRENT_LIST_DIR}/embed.cmake tarn2_rccheck
      COMMENT "Embedding the resource script"
      VERBATIM)
    target_sources(tarn2driver PRIVATE ${TARN2_RC_SOURCE})
    # Nothing calls into the generated file; this keeps the linker from
    # leaving it out of programs linked with the driver archive.
    target_link_options(tarn2driver INTERFACE "-Wl,--undefined=tarn2_embedded_resources")
  endif()
endif()
