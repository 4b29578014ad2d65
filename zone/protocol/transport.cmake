# The HTTPS transport plug-in of the SOAP runtime, on the platform's internet client.
target_sources(Vorlen PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/transport.cpp
  ${CMAKE_CURRENT_LIST_DIR}/transport_policy.cpp)
target_link_libraries(Vorlen PUBLIC platform_http)

# The policy alone, against a scripted exchange.
vantor_add_test(vorlen_transport_policy_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/transport_policy_test.cpp ${CMAKE_CURRENT_LIST_DIR}/transport_policy.cpp
  LIBS platform_base
  LABELS zone)

# The plug-in under the binding, against the test service and loopback servers.
if(EXISTS ${CMAKE_CURRENT_LIST_DIR}/tests/transport_service_test.cpp)
  vantor_add_test(vorlen_transport_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/transport_service_test.cpp
    LIBS Vorlen zone_service vantor_testnet platform_http
    LABELS zone)
endif()
