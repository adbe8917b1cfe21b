# Sourced by the scripts: installs the Debian packages the project needs,
# only those that are missing, and only when there is something to install.
quorvane_packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-serialport-dev libqt6sql6-sqlite qt6-qpa-plugins qt6-translations-l10n libxkbcommon-dev
  libmodbus-dev sqlite3 ser2net
  mosquitto libmosquitto-dev
  clang libclang-rt-14-dev
  xvfb xauth x11-apps imagemagick fonts-wqy-microhei
  at-spi2-core python3-pyatspi dbus-daemon dbus-x11
)

ensure_packages() {
  local missing=()
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
