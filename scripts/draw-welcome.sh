#!/usr/bin/env bash
# Draws the welcome picture of the wizard (src/ui/images/accueil.jpg): a family tree on a
# parchment. Needs ImageMagick (apt-get install imagemagick) and python3. The output is
# committed, so building does not need either; run this only to change the picture.
set -euo pipefail
cd "$(dirname "$0")/.."
out=src/ui/images/accueil.jpg
w=170
h=380
mvg=$(mktemp --suffix=.mvg)
trap 'rm -f "$mvg"' EXIT

# The tree: branches that split in two, thinner at each level, with leaves at their ends;
# random numbers from a fixed start keep the picture the same from one run to the next.
/usr/bin/python3 - "$w" "$h" >"$mvg" <<'PY'
import math, random, sys
w, h = int(sys.argv[1]), int(sys.argv[2])
rng = random.Random(1252)
print("stroke-linecap round")
leaves = []
def branch(x, y, angle, length, width, depth):
    x2 = x + length * math.cos(angle)
    y2 = y - length * math.sin(angle)
    print(f"stroke '#5b3a1e' stroke-width {width:.1f} fill none")
    bend = rng.uniform(-0.15, 0.15)
    cx = (x + x2) / 2 + length * bend * math.sin(angle)
    cy = (y + y2) / 2 + length * bend * math.cos(angle)
    print(f"path 'M {x:.1f},{y:.1f} Q {cx:.1f},{cy:.1f} {x2:.1f},{y2:.1f}'")
    if depth == 0:
        leaves.append((x2, y2))
        return
    spread = rng.uniform(0.3, 0.46)
    for side in (-1, 1):
        turn = angle + side * spread + rng.uniform(-0.1, 0.1)
        branch(x2, y2, min(max(turn, 0.2 * math.pi), 0.8 * math.pi),
               length * rng.uniform(0.64, 0.74), max(width * 0.66, 0.8), depth - 1)
# Roots, then the trunk and its crown.
base_x, base_y = w / 2, h - 62
for dx in (-34, -18, 16, 30):
    print(f"stroke '#5b3a1e' stroke-width 3 fill none")
    print(f"path 'M {base_x:.1f},{base_y:.1f} Q {base_x + dx / 2:.1f},{base_y + 6:.1f} "
          f"{base_x + dx:.1f},{base_y + 14:.1f}'")
branch(base_x, base_y, math.pi / 2, 82, 11, 6)
greens = ["#4f7a2a", "#6b9a3a", "#86ad4c", "#3e6622", "#a3bf5a"]
print("stroke none")
for x, y in leaves:
    for _ in range(3):
        r = rng.uniform(4, 8)
        lx, ly = x + rng.uniform(-7, 7), y + rng.uniform(-7, 7)
        print(f"fill '{rng.choice(greens)}' fill-opacity 0.75")
        print(f"circle {lx:.1f},{ly:.1f} {lx + r:.1f},{ly:.1f}")
# The ground.
print("fill '#8a6a3a' fill-opacity 0.35 stroke none")
print(f"ellipse {base_x:.1f},{base_y + 16:.1f} 70,9 0,360")
PY

convert -size "${w}x${h}" radial-gradient:grey80-grey45 -colorspace Gray -colorspace sRGB -type TrueColor \
  +level-colors '#d9bf86,#f8eed4' \
  -draw "$(cat "$mvg")" \
  -fill none -stroke '#8a6a3a' -strokewidth 2 -draw "rectangle 5,5 $((w - 6)),$((h - 6))" \
  -fill '#5b3a1e' -stroke none -font DejaVu-Serif-Italic -pointsize 17 -gravity south \
  -annotate +0+18 'Lignado' \
  -quality 88 -strip "$out"
echo "$out"
