# tonvera_left_out(<part> <package>...): a part of the tree that needs Debian packages which are
# not installed is left out with a note naming them, so that a tree that does not build that part
# (the demo's) configures without them. With TONVERA_REQUIRE_ALL (scripts/test.sh, after
# scripts/install-deps.sh) the note is an error: nothing the tests cover may go missing silently.
function(tonvera_left_out part)
  list(JOIN ARGN " " packages)
  if(TONVERA_REQUIRE_ALL)
    message(FATAL_ERROR "${part} need(s) ${packages}: install them (scripts/install-deps.sh)")
  endif()
  message(STATUS "${part} left out: install ${packages} to build them (scripts/install-deps.sh)")
endfunction()
