#!/usr/bin/env bash
# Packs the PNG icons (48 and 256 pixels) into orbiqa.ico for the Windows programs. Windows reads
# PNG images inside an icon file, so no conversion is needed; the icon is kept in the repository
# and this is run after render-icon.sh.
set -euo pipefail
cd "$(dirname "$0")"
sizes=(48 256)
le16() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $((($1 >> 8) & 255)))"; }
le32() { le16 $(($1 & 65535)); le16 $((($1 >> 16) & 65535)); }
{
    le16 0; le16 1; le16 ${#sizes[@]}                    # reserved, type icon, image count
    offset=$((6 + 16 * ${#sizes[@]}))
    for size in "${sizes[@]}"; do
        bytes=$(stat -c %s "../orbiqa-$size.png")
        dim=$((size >= 256 ? 0 : size))                    # 0 stands for 256
        printf "\\x$(printf %02x $dim)\\x$(printf %02x $dim)\\x00\\x00"
        le16 1; le16 32; le32 "$bytes"; le32 "$offset"     # planes, bits per pixel, size, offset
        offset=$((offset + bytes))
    done
    for size in "${sizes[@]}"; do cat "../orbiqa-$size.png"; done
} > orbiqa.ico
