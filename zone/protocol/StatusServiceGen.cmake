# Generation of the status-service code from StatusService.gsoap.h with soapcpp2, in one run
# for both sides: the serialisers (StatusServiceC.cpp), the client call routines
# (StatusServiceClient.cpp) and the request dispatcher of a server (StatusServiceServer.cpp).
# The runtime library calls the serialisers' global entry points (fault and element
# dispatch), so one process holds one copy of them: Vorlen's. The generated files carry a
# generation stamp, so they are made at build time and never committed.
find_program(VANTOR_SOAPCPP2 soapcpp2 REQUIRED)
set(VANTOR_STATUS_SERVICE_DEF ${CMAKE_CURRENT_LIST_DIR}/StatusService.gsoap.h)
set(VANTOR_STATUS_SERVICE_PATCH ${CMAKE_CURRENT_LIST_DIR}/StatusServicePatch.cmake)

function(vantor_status_service_generate outdir)
  set(prefix StatusService)
  set(outputs ${outdir}/${prefix}C.cpp ${outdir}/${prefix}Client.cpp ${outdir}/${prefix}Server.cpp
      ${outdir}/${prefix}H.h ${outdir}/${prefix}Stub.h ${outdir}/StatusService.nsmap)
  add_custom_command(
    OUTPUT ${outputs}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${outdir}
    COMMAND ${VANTOR_SOAPCPP2} -1 -L -x -w -d ${outdir} -p${prefix} ${VANTOR_STATUS_SERVICE_DEF}
            > ${outdir}/soapcpp2.log 2>&1
    COMMAND ${CMAKE_COMMAND} -DFILE=${outdir}/${prefix}C.cpp -P ${VANTOR_STATUS_SERVICE_PATCH}
    DEPENDS ${VANTOR_STATUS_SERVICE_DEF} ${VANTOR_STATUS_SERVICE_PATCH}
    COMMENT "soapcpp2: status service code in ${outdir}")
  # The generated code is not ours to keep warning-free.
  set_source_files_properties(${outdir}/${prefix}C.cpp ${outdir}/${prefix}Client.cpp ${outdir}/${prefix}Server.cpp
    PROPERTIES GENERATED TRUE
    COMPILE_OPTIONS "-Wno-error;-Wno-unused-parameter;-Wno-unused-variable;-Wno-deprecated-declarations")
endfunction()
