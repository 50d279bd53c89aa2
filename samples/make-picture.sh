#!/usr/bin/env bash
# Writes the demo's picture to the path given: a 32 x 24 landscape (sky, sun,
# hills, a house) as an uncompressed 24-bit BMP image, drawn pixel by pixel.
set -euo pipefail
out=${1:?usage: make-picture.sh OUT.bmp}
width=32
height=24

# Little-endian numbers as bytes.
le16() {
  local text
  printf -v text '\\x%02x\\x%02x' $(($1 & 255)) $((($1 >> 8) & 255))
  printf "$text"
}
le32() {
  le16 $(($1 & 65535))
  le16 $((($1 >> 16) & 65535))
}

# The colour of pixel (x, y), y counting from the top, as "red green blue".
colour() {
  local x=$1 y=$2
  local dx=$((x - 25)) dy=$((y - 5))
  local hill=$((15 + (x - 10) * (x - 10) / 40))
  if ((x >= 6 && x <= 13 && y >= 12 && y <= 17 && (y - 12) <= (x - 6) && (y - 12) <= (13 - x))); then
    echo "200 40 40"      # roof
  elif ((x >= 7 && x <= 12 && y >= 16 && y <= 21)); then
    if ((x >= 9 && x <= 10 && y >= 18)); then echo "90 50 20"; else echo "240 230 200"; fi
  elif ((dx * dx + dy * dy <= 12)); then
    echo "255 220 0"      # sun
  elif ((y >= hill)); then
    echo "40 $((170 - 3 * (y - 15))) 60"   # grass, darker further down
  else
    echo "$((90 + 4 * y)) $((150 + 3 * y)) 255"   # sky, lighter towards the hills
  fi
}

row_bytes=$(((width * 3 + 3) / 4 * 4))
padding=$((row_bytes - width * 3))
{
  printf 'BM'
  le32 $((54 + row_bytes * height)); le32 0; le32 54
  le32 40; le32 $width; le32 $height; le16 1; le16 24; le32 0
  le32 $((row_bytes * height)); le32 2835; le32 2835; le32 0; le32 0
  for ((y = height - 1; y >= 0; y--)); do   # rows bottom-up
    row=""
    for ((x = 0; x < width; x++)); do
      read -r r g b < <(colour "$x" "$y")
      printf -v pixel '\\x%02x\\x%02x\\x%02x' "$b" "$g" "$r"
      row+=$pixel
    done
    for ((p = 0; p < padding; p++)); do row+='\x00'; done
    printf "$row"
  done
} > "$out"
