# qb480_version_resource(target file_name description file_type): gives a
# deliverable its version resource, made from the project's one version.
function(qb480_version_resource target file_name description file_type)
  set(QB480_FILE_NAME "${file_name}")
  set(QB480_FILE_DESCRIPTION "${description}")
  set(QB480_FILE_TYPE "${file_type}")
  get_filename_component(QB480_INTERNAL_NAME "${file_name}" NAME_WE)
  set(rc "${CMAKE_CURRENT_BINARY_DIR}/${target}.version.rc")
  configure_file("${PROJECT_SOURCE_DIR}/cmake/VersionInfo.rc.in" "${rc}" @ONLY)
  target_sources(${target} PRIVATE "${rc}")
endfunction()
