# The version block embedded in the executables: built from the project
# version and the company and product names of the root CMakeLists.txt.
#
# korvane-versionblock writes the block as a C++ array placed in its own
# section; compiling that source into the executable lets the linker carry the
# section like any other data, with no post-link step that would rewrite the
# binary, and the running program can read it back from its own file.

set(KORVANE_VERSION_SECTION ".versioninfo")

add_executable(korvane-versionblock
  ${CMAKE_SOURCE_DIR}/tools/version-block/main.cpp
  ${CMAKE_SOURCE_DIR}/src/about/VersionBlock.cpp)
target_include_directories(korvane-versionblock PRIVATE ${CMAKE_SOURCE_DIR}/src)
target_link_libraries(korvane-versionblock PRIVATE Qt6::Core)
# A build tool: kept out of bin/, where everything is shipped.
set_target_properties(korvane-versionblock PROPERTIES
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools)

string(TIMESTAMP KORVANE_COPYRIGHT_YEAR "%Y" UTC)

# korvane_embed_version_block(target): gives `target` the program's version block.
function(korvane_embed_version_block target)
  set(source ${CMAKE_CURRENT_BINARY_DIR}/${target}_version_block.cpp)
  add_custom_command(
    OUTPUT ${source}
    COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0
      $<TARGET_FILE:korvane-versionblock>
      --output ${source}
      --section ${KORVANE_VERSION_SECTION}
      --file-version ${CMAKE_PROJECT_VERSION}
      --product-version ${CMAKE_PROJECT_VERSION}
      --string "CompanyName=${KORVANE_COMPANY_NAME}"
      --string "FileDescription=${KORVANE_PRODUCT_NAME}"
      --string "FileVersion=${CMAKE_PROJECT_VERSION}"
      --string "InternalName=${KORVANE_PRODUCT_NAME}"
      --string "LegalCopyright=Copyright © ${KORVANE_COPYRIGHT_YEAR} ${KORVANE_COMPANY_NAME}"
      --string "OriginalFilename=korvane.exe"
      --string "ProductName=${KORVANE_PRODUCT_NAME}"
      --string "ProductVersion=${CMAKE_PROJECT_VERSION}"
    DEPENDS korvane-versionblock
    COMMENT "Generating the version block of ${target}"
    VERBATIM)
  target_sources(${target} PRIVATE ${source})
endfunction()
