#!/usr/bin/env bash
# Checks the cross-built Windows modules (tools/build-windows.sh), the i686
# pair and the x86_64 pair, with the MinGW binutils: export tables, the
# description beside the exports, the resources and version record (the
# Linux build's own bytes), the link request layouts (exact on 32 bits,
# pointer-wide on 64 as on Linux), no trace of the POSIX layer inside, and
# the POSIX layer's Win32 declarations against the real SDK of each. One
# line per check, named by its build; exits 1 when any check fails. Build
# folders: build-win/ and build-win64/, or $TARN2_WIN_BUILD and
# $TARN2_WIN64_BUILD.
set -uo pipefail
cd "$(dirname "$0")/.."

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

failures=0
pass() { echo "ok   $*"; }
fail() {
  echo "FAIL $*"
  failures=$((failures + 1))
}

# The export table's module name; its ordinals that have an address, one a
# line; its names as "ordinal name" lines (objdump numbers each name by its
# ordinal-table value, the ordinal less the base).
module_name() { awk '/^Name[ \t]/ { print $3; exit }' "$1"; }
export_ordinals() {
  awk '
    /^Export Address Table -- / { table = 1; next }
    table && /\+base\[/ { s = $0; gsub(/[][+]/, " ", s); split(s, f, " "); if (f[4] != "0") print f[3]; next }
    table && /^$/ { table = 0 }' "$1" | sort -n
}
export_names() {
  awk '
    /^Ordinal Base/ { base = $3 }
    /^\[Ordinal\/Name Pointer\] Table/ { names = 1; next }
    names && /^\t\[/ { s = $0; gsub(/[][]/, " ", s); split(s, f, " "); print f[1] + base, f[2]; next }
    names && /^$/ { names = 0 }' "$1"
}

# The link request sizes a compiler gives, in the order MessageRequest,
# UploadRequest, UploadStatus, DeviceIdRequest, PortInfo.
cat >"$scratch/layouts.cpp" <<'EOF'
#include "link/protocol.h"
extern "C" const unsigned tarn2_layouts[] = {sizeof(MessageRequest), sizeof(UploadRequest), sizeof(UploadStatus),
                                             sizeof(DeviceIdRequest), sizeof(PortInfo)};
EOF
layout_sizes() {
  "$1" -std=c++17 -I. -S -o - "$scratch/layouts.cpp" 2>/dev/null | awk '$1 == ".long" { printf "%s%d", n++ ? " " : "", $2 }'
}

# The POSIX layer's declarations as checks against the SDK (check 8); the
# POSIX half of platform/vfw.h declares what the SDK's mmsystem.h and vfw.h
# do on Windows. The check itself must see a wrong declaration, type,
# record and value: wrong.h has six; a 64-bit build, which has one calling
# convention only, sees the five that are not about conventions.
sed -n '/^#else/,/^#endif  \/\/ !_WIN32/p' platform/vfw.h >"$scratch/vfw_posix.h"
awk -f tools/sdk-conformance.awk platform/posix/w32_*.h "$scratch/vfw_posix.h" >"$scratch/conformance.cpp"
cat >"$scratch/wrong.h" <<'EOF'
W32_EXTERN_C HLOCAL WINAPI LocalAlloc(DWORD uFlags, SIZE_T uBytes);
W32_EXTERN_C DWORD timeGetTime(void);
typedef HANDLE HDC;
typedef struct tagPOINT {
    LONG y;
    LONG x;
} POINT;
#define WM_USER 0x0401
EOF
awk -f tools/sdk-conformance.awk "$scratch/wrong.h" >"$scratch/wrong.cpp"

# The Linux build's compiled resources, which both Windows builds must hold
# byte for byte (check 4b).
linux_res=${TARN2_BUILD:-build}/generated/tarn2.res
# The entries of a .res file, one a line: type, name, language, data
# checksum. Every entry the driver has is numbered; a named one says so.
res_entries() {
  local file=$1 size at=0 data header type_mark type name_mark name language
  size=$(stat -c %s "$file")
  while [ "$at" -lt "$size" ]; do
    read -r data header < <(od -An -tu4 -j "$at" -N 8 "$file")
    read -r type_mark type name_mark name < <(od -An -tu2 -j $((at + 8)) -N 8 "$file")
    language=$(od -An -tu2 -j $((at + header - 10)) -N 2 "$file" | tr -d ' ')
    if [ "$data" -gt 0 ] && [ "$type_mark" = 65535 ] && [ "$name_mark" = 65535 ]; then
      echo "$type $name $language $(tail -c +$((at + header + 1)) "$file" | head -c "$data" | sha256sum | cut -c1-16)"
    elif [ "$data" -gt 0 ]; then
      echo "named entry at byte $at"
    fi
    at=$(((at + header + data + 3) / 4 * 4))
  done
}

check_build() {
  local build=$1 target=$2 arch=$3
  local drv=$build/bin/mbktarn2u.drv dec=$build/bin/mbkdec32.dll
  local objdump=$target-objdump windres=$target-windres cxx=$target-g++-win32
  # i686 symbols carry a leading underscore.
  local underscore=_
  [ "$arch" = i686 ] || underscore=
  local work=$scratch/$arch
  mkdir -p "$work"
  for f in "$drv" "$dec"; do
    if [ ! -f "$f" ]; then
      fail "$f missing (run tools/build-windows.sh)"
      return
    fi
  done
  $objdump -p "$drv" >"$work/drv.p"
  $objdump -p "$dec" >"$work/dec.p"
  $objdump -t "$drv" >"$work/drv.t" 2>/dev/null

  # 1. The driver's exports: DriverProc by name, nothing else, module name.
  name=$(module_name "$work/drv.p")
  entries=$(export_ordinals "$work/drv.p" | wc -l)
  names=$(export_names "$work/drv.p" | tr '\n' ' ' | sed 's/ $//')
  def_library=$(sed -n 's/^LIBRARY *"\{0,1\}\([^" ]*\)"\{0,1\}.*/\1/p' driver/mbktarn2u.def)
  if [ "$name" = "$def_library" ] && [ "$name" = "MBKTARN2U.dll" ]; then
    pass "$arch mbktarn2u.drv: module name $name"
  else
    fail "$arch mbktarn2u.drv: module name '$name', want MBKTARN2U.dll (driver/mbktarn2u.def: '$def_library')"
  fi
  if [ "$entries" = 1 ] && [ "$names" = "1 DriverProc" ]; then
    pass "$arch mbktarn2u.drv: exports 1 entry, DriverProc by name (ordinal 1), no other name"
  else
    fail "$arch mbktarn2u.drv: exports $entries entries named '$names', want one, DriverProc"
  fi

  # 2. The description in the export data: inside the range the export
  # directory entry of the optional header covers.
  description=$(sed -n 's/^DESCRIPTION *"\([^"]*\)".*/\1/p' driver/mbktarn2u.def)
  read -r _ _ export_rva export_size _ < <(grep -m1 '^Entry 0 ' "$work/drv.p")
  image_base=$(awk '/^ImageBase/ { print $2 }' "$work/drv.p")
  read -r _ _ edata_size edata_vma _ < <($objdump -h "$drv" | grep -m1 ' \.edata ')
  $target-objcopy -O binary --only-section=.edata "$drv" "$work/edata.bin" 2>/dev/null
  offset=$(grep -obaF -- "$description" "$work/edata.bin" 2>/dev/null | head -1 | cut -d: -f1)
  if [ -n "$description" ] && [ -n "$offset" ]; then
    rva=$((0x$edata_vma - 0x$image_base + offset))
    end=$((rva + ${#description} + 1))
    if [ "$rva" -ge $((0x$export_rva)) ] && [ "$end" -le $((0x$export_rva + 0x$export_size)) ]; then
      pass "$arch $(printf 'mbktarn2u.drv: description "%s" at RVA 0x%x, .edata+0x%x, inside the export data 0x%x..0x%x' \
        "$description" "$rva" "$offset" $((0x$export_rva)) $((0x$export_rva + 0x$export_size)))"
    else
      fail "$arch $(printf 'mbktarn2u.drv: description at RVA 0x%x lies outside the export data 0x%x..0x%x' \
        "$rva" $((0x$export_rva)) $((0x$export_rva + 0x$export_size)))"
    fi
  else
    fail "$arch mbktarn2u.drv: description \"$description\" not found in .edata"
  fi

  # 3. The decoder's exports: the ordinals and names of decoder/mbkdec32.def.
  name=$(module_name "$work/dec.p")
  want_ordinals=$(sed -n 's/.*@\([0-9][0-9]*\).*/\1/p' decoder/mbkdec32.def | sort -n | tr '\n' ' ' | sed 's/ $//')
  have_ordinals=$(export_ordinals "$work/dec.p" | tr '\n' ' ' | sed 's/ $//')
  want_names=$(grep '@[0-9]' decoder/mbkdec32.def | grep -v NONAME | sed 's/^ *\([A-Za-z0-9_]*\).*@\([0-9]*\).*/\2 \1/' |
    sort -n | tr '\n' ' ' | sed 's/ $//')
  have_names=$(export_names "$work/dec.p" | sort -n | tr '\n' ' ' | sed 's/ $//')
  if [ "$name" = "mbkdec32.dll" ]; then
    pass "$arch mbkdec32.dll: module name $name"
  else
    fail "$arch mbkdec32.dll: module name '$name', want mbkdec32.dll"
  fi
  if [ "$want_ordinals" = "1 2 3 4 5 6 7 8" ] && [ "$have_ordinals" = "$want_ordinals" ] && [ "$have_names" = "$want_names" ]; then
    pass "$arch mbkdec32.dll: exports ordinals $have_ordinals, names: ${have_names:-none (by ordinal only)}"
  else
    fail "$arch mbkdec32.dll: exports ordinals '$have_ordinals' names '$have_names'; want ordinals 1 to 8 as decoder/mbkdec32.def ('$want_ordinals', names '$want_names')"
  fi

  # 4. Resources: the dialog templates 101 to 120 (102 the trace window) and
  # the version record.
  if $windres -i "$drv" -O rc -o "$work/res.rc" 2>"$work/windres.err"; then
    dialogs=$(sed -n 's/^\([0-9][0-9]*\) DIALOG .*/\1/p' "$work/res.rc" | sort -n | tr '\n' ' ' | sed 's/ $//')
    want=$(seq -s ' ' 101 120)
    trace_id=$(sed -n 's/^#define IDD_TRACE_WINDOW \([0-9]*\).*/\1/p' ui/resources/resource.h)
    if [ "$dialogs" = "$want" ] && [ "$trace_id" = 102 ]; then
      pass "$arch mbktarn2u.drv: RT_DIALOG 101..120 present (20 templates; trace window $trace_id)"
    else
      fail "$arch mbktarn2u.drv: RT_DIALOG ids '$dialogs', want '$want' with the trace window 102 (resource.h: '$trace_id')"
    fi
    version=$(awk '
      /BLOCK "040904e4"/ { inblock = 1; next }
      inblock && /VALUE "FileVersion"/ { v = $0; sub(/.*, "/, "", v); sub(/".*/, "", v); fv = v }
      inblock && /VALUE "OriginalFilename"/ { v = $0; sub(/.*, "/, "", v); sub(/".*/, "", v); of = v }
      inblock && /BLOCK "VarFileInfo"/ { inblock = 0 }
      /^ *FILEVERSION/ { fixed = $0; sub(/^ *FILEVERSION */, "", fixed); gsub(/ /, "", fixed) }
      END { print fv "|" of "|" fixed }' "$work/res.rc")
    if [ "$version" = "1.0.3.0|mbktarn2u.drv|1,0,3,0" ]; then
      pass "$arch mbktarn2u.drv: VERSIONINFO FILEVERSION 1,0,3,0, block 040904e4 FileVersion 1.0.3.0, OriginalFilename mbktarn2u.drv"
    else
      fail "$arch mbktarn2u.drv: version record FileVersion|OriginalFilename|FILEVERSION = '$version'"
    fi
  else
    fail "$arch mbktarn2u.drv: windres cannot read the resources: $(head -1 "$work/windres.err")"
  fi

  # 4b. The same resource bytes on both builds: every entry of the driver's
  # resource directory (type, name, language) holds byte for byte the data
  # of the entry of the Linux build's tarn2.res that the POSIX layer reads.
  # The same for the module, from objdump's listing of its resource directory
  # and the bytes of its .rsrc section.
  module_entries() {
    local rsrc_vma type name language address size
    read -r _ _ _ rsrc_vma _ < <($objdump -h "$drv" | grep -m1 ' \.rsrc ')
    $target-objcopy -O binary --only-section=.rsrc "$drv" "$work/rsrc.bin"
    awk '
      /^The \.rsrc Resource Directory section:/ { on = 1; next }
      !on { next }
      match($0, /^[0-9a-f]+ +/) {
        depth = RLENGTH - index($0, " ") + 1
        if ($2 == "Entry:" && $3 != "ID:") { print "named"; next }
        if ($2 == "Entry:") { id = $4; sub(/,/, "", id) }
        if ($2 == "Entry:" && depth == 3) type = id
        if ($2 == "Entry:" && depth == 5) name = id
        if ($2 == "Entry:" && depth == 7) language = id
        if ($2 == "Leaf:") { a = $4; s = $6; sub(/,/, "", a); sub(/,/, "", s); print type, name, language, a, s }
      }
      on && /^$/ && seen { exit }
      on && /Type Table/ { seen = 1 }' "$work/drv.p" |
      while read -r type name language address size; do
        if [ "$type" = named ]; then
          echo "named entry"
          continue
        fi
        offset=$((address - (0x$rsrc_vma - 0x$image_base)))
        echo "$((type)) $((name)) $((language)) $(tail -c +$((offset + 1)) "$work/rsrc.bin" | head -c $((size)) | sha256sum | cut -c1-16)"
      done
  }
  if [ ! -f "$linux_res" ]; then
    fail "$arch mbktarn2u.drv: no Linux build's $linux_res to compare the resources with (build it first)"
  else
    res_entries "$linux_res" | sort >"$work/linux.entries"
    module_entries | sort >"$work/module.entries"
    count=$(wc -l <"$work/linux.entries")
    if [ "$count" -gt 0 ] && cmp -s "$work/linux.entries" "$work/module.entries"; then
      pass "$arch mbktarn2u.drv: its $count resources (type, id, language) hold the bytes of the Linux build's $linux_res"
    else
      fail "$arch mbktarn2u.drv: resources differ from $linux_res (type id language checksum, < Linux, > module):"
      diff "$work/linux.entries" "$work/module.entries" | grep '^[<>]' | sed 's/^/       /' | head -20
    fi
  fi

  # 5. Imports: only the system's own libraries (no MinGW runtime DLLs, which
  # a Windows machine does not have).
  for module in drv dec; do
    listing=$work/$module.p
    file=$drv
    [ "$module" = dec ] && file=$dec
    imports=$(sed -n 's/^\tDLL Name: //p' "$listing" | tr '\n' ' ' | sed 's/ $//')
    bad=$(sed -n 's/^\tDLL Name: //p' "$listing" | tr 'a-z' 'A-Z' |
      grep -vxE 'KERNEL32\.DLL|USER32\.DLL|GDI32\.DLL|ADVAPI32\.DLL|WINMM\.DLL|VERSION\.DLL|MSVCRT\.DLL' | tr '\n' ' ')
    if [ -z "$bad" ]; then
      pass "$arch $(basename "$file"): imports only system libraries: $imports"
    else
      fail "$arch $(basename "$file"): imports libraries that are not the system's: $bad"
    fi
  done

  # 6. No POSIX layer inside: none of its own symbols or sources, and every
  # Win32 function it implements that the driver calls comes from an import.
  sed -n 's/^typedef.*tarn2_sig_\([A-Za-z0-9_]*\)).*/\1/p' "$scratch/conformance.cpp" | sort -u >"$work/layer_api"
  sed -n '/^\tDLL Name:/,/^$/s/^\t[0-9a-f]*\t *[0-9]*  //p' "$work/drv.p" | sort -u >"$work/imported"
  grep -o '(scl   2) (nx [0-9]) 0x[0-9a-f]* [A-Za-z_][A-Za-z0-9_]*' "$work/drv.t" | awk '{ print $NF }' |
    sed "s/^__imp_//; s/^$underscore//" | sort -u >"$work/symbols"
  local_api=$(comm -12 "$work/layer_api" "$work/symbols" | comm -23 - "$work/imported" | tr '\n' ' ')
  posix_symbols=$(grep -cE ' _?Posix[A-Z]| _?w32[A-Z_]' "$work/drv.t")
  posix_sources=$($target-strings -a "$drv" | grep -c 'platform/posix')
  used=$(comm -12 "$work/layer_api" "$work/imported" | wc -l)
  if [ ! -s "$work/drv.t" ]; then
    fail "$arch mbktarn2u.drv: no symbol table to look for the POSIX layer in"
  elif [ -z "$local_api" ] && [ "$posix_symbols" = 0 ] && [ "$posix_sources" = 0 ]; then
    pass "$arch mbktarn2u.drv: no POSIX layer inside (0 Posix* symbols, 0 platform/posix sources; the $used layer functions it calls are all imported)"
  else
    fail "$arch mbktarn2u.drv: POSIX layer inside: defined here '$local_api', $posix_symbols layer symbols, $posix_sources platform/posix sources"
  fi

  # 7. The link request layouts: exact on the 32-bit build, with the
  # static_asserts of link/protocol.h in force there; on the 64-bit build the
  # addresses are pointer-wide, as in the Linux build, so the sizes are the
  # host compiler's.
  sizes=$(layout_sizes "$cxx")
  if [ "$arch" = i686 ]; then
    want="20 24 12 8 6"
    [ "$($cxx -std=c++17 -I. -E "$scratch/layouts.cpp" | grep -c 'static_assert(sizeof(MessageRequest) == 20')" = 1 ] ||
      want="the static_asserts of link/protocol.h in force"
  else
    want=$(layout_sizes g++)
  fi
  if [ -n "$sizes" ] && [ "$sizes" = "$want" ]; then
    pass "$arch link requests: MessageRequest, UploadRequest, UploadStatus, DeviceIdRequest, PortInfo: $sizes bytes"
  else
    fail "$arch link requests: sizes '$sizes', want '$want'"
  fi

  # 8. The POSIX layer's Win32 declarations against the SDK: functions and
  # callback types with their calling conventions, handle and type names,
  # record layouts on the build's ABI, constant values.
  counts=$(sed -n 's|^// checked: ||p' "$scratch/conformance.cpp")
  local want_wrong=6
  [ "$arch" = i686 ] || want_wrong=5
  wrong=$($cxx -std=c++17 -I. -fsyntax-only -fmax-errors=0 "$scratch/wrong.cpp" 2>&1 | grep -c 'static assertion failed')
  if [ "$wrong" != "$want_wrong" ] || ! grep -q '^[1-9][0-9]* functions' <<<"$counts"; then
    fail "$arch SDK conformance check: it does not tell wrong declarations apart ($wrong of $want_wrong seen; $counts)"
  elif $cxx -std=c++17 -I. -fsyntax-only -fmax-errors=0 "$scratch/conformance.cpp" 2>"$work/conformance.err"; then
    pass "$arch POSIX layer matches the SDK: $counts"
  else
    fail "$arch POSIX layer differs from the SDK ($counts):"
    grep -oE '(static assertion failed|error): .*' "$work/conformance.err" | sed 's/^/       /' | head -40
  fi
}

check_build "${TARN2_WIN_BUILD:-build-win}" i686-w64-mingw32 i686
check_build "${TARN2_WIN64_BUILD:-build-win64}" x86_64-w64-mingw32 x86_64

if [ "$failures" -gt 0 ]; then
  echo "check-windows: $failures check(s) failed"
  exit 1
fi
echo "check-windows: all checks passed"
