# Adds the members of the archives PARTS to the archive OUT (a static library that needs nothing
# but itself). Run as a script: cmake -DOUT=... -DPARTS=a.a;b.a -DAR=ar -P merge_archives.cmake
get_filename_component(work "${OUT}.merge" ABSOLUTE)
file(REMOVE_RECURSE "${work}")
foreach(part IN LISTS PARTS)
  get_filename_component(name "${part}" NAME_WE)
  file(MAKE_DIRECTORY "${work}/${name}")
  execute_process(COMMAND "${AR}" x "${part}" WORKING_DIRECTORY "${work}/${name}"
                  COMMAND_ERROR_IS_FATAL ANY)
  file(GLOB members "${work}/${name}/*.o" "${work}/${name}/*.obj")
  # Members of different archives may share a name: each is renamed after its archive.
  foreach(member IN LISTS members)
    get_filename_component(base "${member}" NAME)
    file(RENAME "${member}" "${work}/${name}-${base}")
  endforeach()
endforeach()
file(GLOB objects "${work}/*.o" "${work}/*.obj")
execute_process(COMMAND "${AR}" rs "${OUT}" ${objects} COMMAND_ERROR_IS_FATAL ANY)
file(REMOVE_RECURSE "${work}")
