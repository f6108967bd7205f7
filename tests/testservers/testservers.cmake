# Python unittest suites of the test and demo servers, run by Debian's Python
# (the one that sees python3-pyftpdlib).
foreach(suite family_extensions family_switches index_server demo)
  add_test(NAME testservers_${suite}
           COMMAND /usr/bin/python3 -m unittest -v test_${suite}
           WORKING_DIRECTORY ${CMAKE_CURRENT_LIST_DIR})
  set_tests_properties(testservers_${suite} PROPERTIES
                       TIMEOUT 300
                       ENVIRONMENT "PYTHONDONTWRITEBYTECODE=1")
endforeach()
