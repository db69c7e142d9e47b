# Sourced by the build scripts. configure SOURCE BUILD [cmake arguments...]
# configures a build folder once; TARN2_WERROR (ON or OFF) also switches a
# folder configured earlier. tools/test.sh sets it ON, so the project's own
# checks treat warnings as errors; a plain build leaves them warnings.
configure() {
  local source=$1 build=$2
  shift 2
  local werror=${TARN2_WERROR:-}
  if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$source" -B "$build" "$@" ${werror:+-DTARN2_WERROR=$werror} >/dev/null
  elif [ -n "$werror" ] && ! grep -qx "TARN2_WERROR:[A-Z]*=$werror" "$build/CMakeCache.txt"; then
    cmake -S "$source" -B "$build" -DTARN2_WERROR="$werror" >/dev/null
  fi
}
