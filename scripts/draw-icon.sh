#!/usr/bin/env bash
# Draws the program's icon (packaging/icons/): a family tree on a parchment, like the welcome
# picture, as SVG, then PNG at the usual sizes. Needs python3 and rsvg-convert (apt-get install
# librsvg2-bin). The output is committed, so building does not need either; run this only to
# change the icon.
set -euo pipefail
cd "$(dirname "$0")/.."
out=packaging/icons
mkdir -p "$out"

# Branches that split in two, thinner at each level, leaves at their ends; random numbers from
# a fixed start keep the icon the same from one run to the next.
/usr/bin/python3 - >"$out/lignado.svg" <<'PY'
import math, random
rng = random.Random(1252)
parts = []
leaves = []
def branch(x, y, angle, length, width, depth):
    x2 = x + length * math.cos(angle)
    y2 = y - length * math.sin(angle)
    bend = rng.uniform(-0.12, 0.12)
    cx = (x + x2) / 2 + length * bend * math.sin(angle)
    cy = (y + y2) / 2 + length * bend * math.cos(angle)
    parts.append(f'<path d="M{x:.1f} {y:.1f}Q{cx:.1f} {cy:.1f} {x2:.1f} {y2:.1f}" '
                 f'stroke-width="{width:.1f}"/>')
    if depth == 0:
        leaves.append((x2, y2))
        return
    spread = rng.uniform(0.34, 0.48)
    for side in (-1, 1):
        turn = angle + side * spread + rng.uniform(-0.08, 0.08)
        branch(x2, y2, min(max(turn, 0.15 * math.pi), 0.85 * math.pi),
               length * rng.uniform(0.66, 0.74), max(width * 0.62, 2.0), depth - 1)
base_x, base_y = 128, 206
roots = [f'<path d="M{base_x} {base_y}Q{base_x + dx / 2:.1f} {base_y + 8} {base_x + dx} '
         f'{base_y + 18}" stroke-width="7"/>' for dx in (-40, -20, 18, 38)]
branch(base_x, base_y, math.pi / 2, 62, 20, 4)
greens = ["#4f7a2a", "#6b9a3a", "#86ad4c", "#3e6622", "#a3bf5a"]
dots = []
for x, y in leaves:
    for _ in range(4):
        r = rng.uniform(9, 15)
        dots.append(f'<circle cx="{x + rng.uniform(-10, 10):.1f}" cy="{y + rng.uniform(-10, 10):.1f}" '
                    f'r="{r:.1f}" fill="{rng.choice(greens)}" fill-opacity="0.8"/>')
print('<?xml version="1.0" encoding="UTF-8"?>')
print('<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">')
print('<defs><radialGradient id="p" cx="50%" cy="40%" r="65%">'
      '<stop offset="0" stop-color="#f8eed4"/><stop offset="1" stop-color="#d9bf86"/>'
      '</radialGradient></defs>')
print('<rect x="8" y="8" width="240" height="240" rx="36" fill="url(#p)" '
      'stroke="#8a6a3a" stroke-width="6"/>')
print(f'<ellipse cx="{base_x}" cy="{base_y + 20}" rx="78" ry="10" fill="#8a6a3a" fill-opacity="0.35"/>')
print('<g fill="none" stroke="#5b3a1e" stroke-linecap="round">')
print("\n".join(roots + parts))
print('</g>')
print("\n".join(dots))
print('</svg>')
PY

for size in 16 24 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" "$out/lignado.svg" -o "$out/lignado-$size.png"
done
ls "$out"
