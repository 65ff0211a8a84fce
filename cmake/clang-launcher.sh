#!/usr/bin/env bash
# Compiles or links one target of the GCC build tree with clang and lld instead, set as
# that target's compiler and link launcher (cmake/hardening.cmake): CMake's command for
# the MinGW-w64 GCC driver runs with clang for the same triple, over the same MinGW-w64
# root and GCC's libstdc++ and libgcc.
#
#   clang-launcher.sh CLANG TRIPLE GCC_DIR SOURCE_DIR GCC_DRIVER ARGS...
#
# clang 14 writes its whole command line into the CodeView of each object, and so into
# the PDB: paths into the clone and the build tree are made relative to the build tree
# (run from its top), so that the PDB is the same from any folder. The prefix maps are
# left out: with relative paths there is nothing for them to map.
set -euo pipefail
clang=$1 triple=$2 gcc_dir=$3 source_dir=$4 driver=$5
shift 5
case "$driver" in
*g++*) clang=${clang}++ ;;
esac
build_dir=$PWD
to_source=$(realpath --relative-to="$build_dir" "$source_dir")
args=()
for arg in "$@"; do
  case "$arg" in
  -ffile-prefix-map=*) continue ;;
  esac
  arg=${arg//"$build_dir/"/}
  arg=${arg//"$source_dir/"/"$to_source/"}
  args+=("$arg")
done
# --sysroot keeps the build machine's /usr/include out; -B takes GCC's crtbegin.o and
# crtend.o, which register i686's DWARF unwind tables, over MinGW-w64's stand-ins.
# libgcc's thread-local emulation, linked by -static, needs winpthreads.
exec "$clang" --target="$triple" --sysroot="/usr/$triple" \
  -isystem "$gcc_dir/include/c++" -isystem "$gcc_dir/include/c++/$triple" \
  -isystem "$gcc_dir/include/c++/backward" -Wno-unused-command-line-argument \
  -fuse-ld=lld -B"$gcc_dir" -L"$gcc_dir" -lpthread "${args[@]}"
