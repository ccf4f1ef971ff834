// The address of the maker's update service, fixed when the program is
// built (the CMake setting PELLTON_UPDATE_URL): an https address with the
// path "/common/update.php" and the query "p=pellton".
#pragma once

const wchar_t* UpdateServiceUrl();
