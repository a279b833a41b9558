# Sourced by the end-to-end scripts that look at the program's windows on an X server.
#   window_geometry WINDOW   X Y W H of its client area on the screen
#   window_of_size W H       a shown window of the program in app of that size

window_geometry() {
  [ -n "$1" ] || return 1 # without an id xwininfo would wait for a click
  # xwininfo, as xdotool counts a window manager's frame into the place of decorated windows.
  xwininfo -id "$1" | awk '
    /Absolute upper-left X:/ { x = $NF } /Absolute upper-left Y:/ { y = $NF }
    /^ *Width:/ { w = $NF } /^ *Height:/ { h = $NF } END { print x, y, w, h }'
}

window_of_size() {
  local id w h
  for id in $(xdotool search --onlyvisible --pid "$app" 2>/dev/null); do
    read -r _ _ w h < <(window_geometry "$id") || continue
    [ "$w $h" = "$1 $2" ] && { echo "$id"; return 0; }
  done
  return 1
}
