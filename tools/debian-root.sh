# Sourced by the scripts that need a Debian 12 root of their own (the package
# test, the ARM builds): debian_root DIR makes a fresh one in DIR with
# debootstrap --variant=minbase from the machine's own Debian mirror, which
# debian_mirror prints.
debian_mirror() {
  local mirror
  mirror=$(sed -nE 's/^(URIs:|deb)( \[[^]]*\])? +([^ ]+).*/\3/p' /etc/apt/sources.list \
    /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources 2>/dev/null | grep -m1 -v security || true)
  echo "${mirror:-http://deb.debian.org/debian}"
}
debian_root() { debootstrap --variant=minbase bookworm "$1" "$(debian_mirror)"; }
