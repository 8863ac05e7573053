# Sourced by the Windows scripts: the release's version, as the top-level CMakeLists.txt sets it,
# and the names of its files in build-windows/, so that files of another version left there are
# never taken for this one's.
windows_version=$(sed -n 's/^project(porteval VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
windows_release="porteval-$windows_version-windows-x64"
windows_zip="$windows_release.zip"
windows_setup="$windows_release-setup.exe"
