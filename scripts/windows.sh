#!/usr/bin/env bash
# Builds the Windows program here, with mingw-w64 and Qt for Windows in
# /opt/qt-mingw (made by ../shared/windows-qt/build.sh when it is missing), and
# lays out build-windows/deploy/ as a self-contained folder, as Qt's deployment
# tool would: zrn-calipers.exe, the Qt and mingw runtime DLLs it loads, the
# windows platform plugin, the QML modules the documents import, and qt.conf.
# That folder goes to Windows users as build-windows/zrn-calipers-<version>-windows-x64.zip,
# which unpacks into a folder of the same name.
# Quiet and quick when everything is in place.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${ZRN_WINDOWS_BUILD_DIR:-$root/build-windows}"
qt_windows_dir="${ZRN_WINDOWS_QT_DIR:-$root/../shared/windows-qt}"
host_qt_tools=/usr/lib/qt6/libexec
mingw=x86_64-w64-mingw32

source "$root/scripts/lib.sh"
qt=$zrn_qt_windows

"$root/scripts/setup.sh" build windows
if ! zrn_qt_windows_installed; then
    if [[ ! -x $qt_windows_dir/build.sh ]]; then
        echo "windows.sh: Qt for Windows is not in $qt, and $qt_windows_dir/build.sh" \
             "that makes it is missing (set ZRN_WINDOWS_QT_DIR)" >&2
        exit 1
    fi
    "$qt_windows_dir/build.sh"
fi

zrn_configure "$build" -DCMAKE_BUILD_TYPE=Release -DZRN_WERROR=ON -DZRN_BUILD_TESTS=OFF \
    -DCMAKE_TOOLCHAIN_FILE=$qt/lib/cmake/Qt6/qt.toolchain.cmake \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
zrn_build "$build" --target zrn-calipers

deploy="$build/deploy"
# Qt gathers the executables of a Windows build at the top of the build folder.
exe="$build/zrn-calipers.exe"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
package="zrn-calipers-$version-windows-x64"

# The zip of the deploy folder, made anew whenever the folder was.
write_zip() {
    local staging
    staging=$(mktemp -d)
    cp -r "$deploy" "$staging/$package"
    rm -f "$build/$package.zip"
    (cd "$staging" && cmake -E tar cf "$build/$package.zip" --format=zip "$package")
    rm -rf "$staging"
    echo "Windows package: $build/$package.zip"
}

# Laid out again only when the executable or this script changed since the last time.
if [[ -f $deploy/zrn-calipers.exe && ! $exe -nt $deploy/zrn-calipers.exe
      && ! ${BASH_SOURCE[0]} -nt $deploy/zrn-calipers.exe ]]; then
    [[ -f $build/$package.zip && ! $deploy/zrn-calipers.exe -nt $build/$package.zip ]] || write_zip
    exit 0
fi
rm -rf "$deploy"
mkdir -p "$deploy/plugins/platforms" "$deploy/qml"
cp "$exe" "$deploy/"
cp "$qt/plugins/platforms/qwindows.dll" "$deploy/plugins/platforms/"

# The QML modules the documents import, and the ones those import in turn, each
# with its own files (a module's sub-folders are modules of their own).
modules=$("$host_qt_tools/qmlimportscanner" -rootPath "$root/app/qml" -importPath "$qt/qml" \
    | sed -n 's/^ *"path": "\(.*\)",\{0,1\}$/\1/p' | sort -u)
for module in $modules; do
    [[ $module == "$qt/qml/"* ]] || continue
    target="$deploy/qml/${module#"$qt/qml/"}"
    mkdir -p "$target"
    find "$module" -maxdepth 1 -type f \( -name qmldir -o -name '*.qml' -o -name '*.qmltypes' \
        -o -name '*.dll' -o -name '*.js' -o -name '*.mjs' \) -exec cp {} "$target/" \;
done

# The DLLs every deployed binary loads, found among Qt's and the mingw runtime's,
# until nothing new is needed; the rest are Windows' own.
runtime_dirs=("$qt/bin" "/usr/lib/gcc/$mingw/12-posix" "/usr/$mingw/lib")
while :; do
    added=0
    while IFS= read -r dll; do
        [[ -e $deploy/$dll ]] && continue
        for dir in "${runtime_dirs[@]}"; do
            if [[ -f $dir/$dll ]]; then
                cp "$dir/$dll" "$deploy/"
                added=1
                break
            fi
        done
    done < <(find "$deploy" -iname '*.exe' -o -iname '*.dll' | while IFS= read -r binary; do
        $mingw-objdump -p "$binary" | sed -n 's/^\s*DLL Name: //p'
    done | sort -u)
    ((added)) || break
done

# Plugins and QML modules beside the executable, not in the Qt folder it was built with.
printf '[Paths]\r\nPrefix = .\r\nPlugins = plugins\r\nQmlImports = qml\r\n' > "$deploy/qt.conf"
echo "Windows program deployed in $deploy"
write_zip
