# The seam between the core and the program's front end, held when
# configuring: a target that must stay free of the front end (the core, the
# Python module) fails the configuration if anything it links, however
# indirectly, is the front end's library. The includes are held by the test
# Tools.LayoutIncludes.
set(ELAB_FRONT_END_LIBRARIES elab_cli)

function(elab_check_no_front_end target)
  set(seen)
  set(pending ${target})
  while(pending)
    list(POP_FRONT pending current)
    if(current IN_LIST seen OR NOT TARGET ${current})
      continue()
    endif()
    list(APPEND seen ${current})
    if(current IN_LIST ELAB_FRONT_END_LIBRARIES)
      message(FATAL_ERROR "${target} links ${current}, the program's front end")
    endif()
    get_target_property(type ${current} TYPE)
    set(links)
    if(NOT type STREQUAL "INTERFACE_LIBRARY")
      get_target_property(links ${current} LINK_LIBRARIES)
    endif()
    get_target_property(interface ${current} INTERFACE_LINK_LIBRARIES)
    foreach(l IN LISTS links interface)
      if(l AND NOT l MATCHES "NOTFOUND$")
        string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" l "${l}")
        list(APPEND pending ${l})
      endif()
    endforeach()
  endwhile()
endfunction()
