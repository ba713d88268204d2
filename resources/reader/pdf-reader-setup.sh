#!/bin/sh
# The kit's "PDF reader installer": the wizard runs it as
# "Acrobat reader/AdbeRdr-cn.exe" (Chinese) or "AdbeRdr-en.exe" (English).
#
# When the desktop already has a PDF reader it says which and offers to open
# the kit's manuals folder with it; otherwise it offers to install one the
# system's way: the desktop's software centre when there is one, else the
# package manager through the desktop's administrator prompt.
#
# KEPLIN_READER_DRY_RUN=1 shows nothing and changes nothing: it prints the
# command it would run, answering its question with KEPLIN_READER_ANSWER
# (yes or no, default yes).
set -u
kit=$(cd "$(dirname "$0")/.." && pwd)
case "$(basename "$0")" in
  *-en*) lang=en ;;
  *) lang=cn ;;
esac
dry_run=${KEPLIN_READER_DRY_RUN:-0}
package=evince

say() {  # say CN-TEXT EN-TEXT
  if [ "$lang" = en ]; then printf '%s\n' "$2"; else printf '%s\n' "$1"; fi
}

# ask TEXT: 0 for yes.
ask() {
  if [ "$dry_run" = 1 ]; then
    printf 'question: %s\n' "$1"
    [ "${KEPLIN_READER_ANSWER:-yes}" = yes ]
    return
  fi
  if command -v zenity >/dev/null 2>&1; then
    zenity --question --title="PDF" --text="$1"
  elif command -v kdialog >/dev/null 2>&1; then
    kdialog --title PDF --yesno "$1"
  elif command -v xmessage >/dev/null 2>&1; then
    xmessage -center -buttons "$(say 是 Yes):0,$(say 否 No):1" "$1"
  else
    printf '%s [y/N] ' "$1"
    read -r answer && [ "$answer" = y ]
  fi
}

run() {
  if [ "$dry_run" = 1 ]; then
    printf 'run:'
    printf ' %s' "$@"
    printf '\n'
    return 0
  fi
  "$@"
}

viewer=$(xdg-mime query default application/pdf 2>/dev/null || true)
if [ -n "$viewer" ]; then
  name=${viewer%.desktop}
  if ask "$(say "已安装PDF阅读器（$name）。现在打开说明书文件夹吗？" \
               "A PDF reader is installed ($name). Open the folder of the manuals now?")"; then
    run xdg-open "$kit"
  fi
  exit 0
fi

if ! ask "$(say "没有找到PDF阅读器。现在安装“文档查看器”（$package）吗？" \
                "No PDF reader was found. Install the Document Viewer ($package) now?")"; then
  exit 0
fi
if command -v gnome-software >/dev/null 2>&1; then
  run gnome-software --details="org.gnome.Evince.desktop"
elif command -v plasma-discover >/dev/null 2>&1; then
  run plasma-discover --application "appstream://org.gnome.Evince.desktop"
elif command -v pkexec >/dev/null 2>&1 && command -v apt-get >/dev/null 2>&1; then
  run pkexec apt-get install -y "$package"
else
  say "请用系统的软件管理器安装 $package。" "Please install $package with the system's software manager." >&2
  exit 1
fi
