# Copies what make_resources.py wrote into the staged device, as its manifest
# lists it: "bundle NAME" into the bundle, "loader NAME" as the PreferenceLoader
# entry. Run by the build:
#
#   cmake -DMANIFEST=… -DBUNDLE=… -DENTRY=… -DSTAMP=… -P stage_resources.cmake
file(STRINGS "${MANIFEST}" lines)
if(NOT lines)
  message(FATAL_ERROR "stage_resources: ${MANIFEST} lists nothing")
endif()
get_filename_component(from "${MANIFEST}" DIRECTORY)
foreach(line IN LISTS lines)
  if(NOT line MATCHES "^(bundle|loader) (.+)$")
    message(FATAL_ERROR "stage_resources: a line of ${MANIFEST} is neither a bundle file nor the loader entry: ${line}")
  endif()
  if(CMAKE_MATCH_1 STREQUAL "bundle")
    set(to "${BUNDLE}/${CMAKE_MATCH_2}")
  else()
    set(to "${ENTRY}")
  endif()
  get_filename_component(to_dir "${to}" DIRECTORY)
  file(MAKE_DIRECTORY "${to_dir}")
  execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different "${from}/${CMAKE_MATCH_2}" "${to}"
                  RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "stage_resources: cannot copy ${from}/${CMAKE_MATCH_2} to ${to}")
  endif()
endforeach()
file(TOUCH "${STAMP}")
