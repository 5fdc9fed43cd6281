# The script behind the README's screenshot:
#   hostide --registry /tmp/demo.db --script docs/screenshot.hsc --screenshot docs/palette-menu.png
reg set "Software\Orvik\Palette Menu\Categories" Standard "Common;VCL"
reg set "Software\Orvik\Palette Menu\Categories" Additional VCL
reg set "Software\Orvik\Palette Menu\Categories" Win32 VCL
reg set "Software\Orvik\Palette Menu\Categories" Dialogs Common
pick P&alette > VCL > Additional
open P&alette
