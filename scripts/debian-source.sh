# Sourced by the scripts that build a library for Windows from Debian's source package.
#   cached_build LABEL PREFIX FILE...  true, and says so, when a build kept under PREFIX holds
#                                      its version and every FILE
#   debian_source PACKAGE WORK  fetches PACKAGE's source package into WORK/source and unpacks
#                               it as WORK/source/tree; sets source_version to its version.
# The source package is fetched through a private apt configuration under WORK (a deb-src
# copy of the system's Debian entries), so the system's apt setup is not changed.

cached_build() {
  local label=$1 prefix=$2 version file
  shift 2
  version=$(cat "$prefix/version" 2>/dev/null || true)
  [ -n "$version" ] || return 1
  for file in "$@"; do
    [ -f "$prefix/$file" ] || return 1
  done
  # A cached build: reused without asking the network again.
  echo "$label $version for Windows: $prefix"
}

debian_source() {
  local package=$1 work=$2
  local apt_dir=$work/apt
  rm -rf "$apt_dir/parts"
  mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$apt_dir/parts"
  local sources=$apt_dir/sources.list file
  : >"$sources"
  # A deb-src entry for each Debian archive the system uses, in the format it uses.
  for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$file" ] && sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$file" >>"$sources"
  done
  for file in /etc/apt/sources.list.d/*.sources; do
    [ -f "$file" ] && sed 's/^Types:.*/Types: deb-src/' "$file" >"$apt_dir/parts/$(basename "$file")"
  done
  local apt_options=(-o "Dir::Etc::SourceList=$sources" -o "Dir::Etc::SourceParts=$apt_dir/parts"
                     -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache"
                     -o "Debug::NoLocking=1" -o "APT::Sandbox::User=root")

  echo "Fetching the $package source package" >&2
  apt-get "${apt_options[@]}" -qq update
  local source_dir=$work/source
  rm -rf "$source_dir"
  mkdir -p "$source_dir"
  # The upstream signature (.asc) may be missing from the mirror; the .dsc and tarballs are
  # what the build needs, and their checksums are checked against the signed index.
  (cd "$source_dir" && apt-get "${apt_options[@]}" -qq source --download-only "$package") \
    >"$work/fetch.log" 2>&1 || true
  local dsc
  dsc=$(ls "$source_dir/${package}_"*.dsc 2>/dev/null | head -n 1)
  if [ -z "$dsc" ]; then
    cat "$work/fetch.log" >&2
    echo "$(basename "$0"): the $package source package could not be fetched" >&2
    exit 1
  fi
  source_version=$(sed -n 's/^Version: //p' "$dsc")
  (cd "$source_dir" && dpkg-source --no-check -x "$(basename "$dsc")" tree >/dev/null)
}
