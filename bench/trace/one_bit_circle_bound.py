#!/usr/bin/env python3
# How well can any method place a circle of 10 px diameter from its 1-bit picture?
# A pixel is ink when its centre lies inside the circle. For a circle at a random sub-pixel
# place, every centre (cx, cy) for which some radius gives exactly the same pixels is found on
# a grid of 0.01 px; the best any estimate can promise for that picture is half the spread of
# those centres along x and along y (the test checks x and y each within 0.15 px).
import math, random
random.seed(1)
r0 = 5.0
step = 0.01
res = []
for trial in range(200):
    c0 = (20 + random.random(), 20 + random.random())
    pin, pout = [], []
    for y in range(12, 29):
        for x in range(12, 29):
            px, py = x + 0.5, y + 0.5
            d = math.hypot(px - c0[0], py - c0[1])
            if abs(d - r0) < 1.5:
                (pin if d <= r0 else pout).append((px, py))
    xs, ys, radii = [], [], []
    n = int(0.35 / step)
    for i in range(-n, n + 1):
        cx = c0[0] + i * step
        for j in range(-n, n + 1):
            cy = c0[1] + j * step
            din = max(math.hypot(px - cx, py - cy) for px, py in pin)
            dout = min(math.hypot(px - cx, py - cy) for px, py in pout)
            if din < dout:
                xs.append(cx); ys.append(cy); radii.append((din, dout))
    ex = (max(xs) - min(xs)) / 2
    ey = (max(ys) - min(ys)) / 2
    res.append(max(ex, ey))
res.sort()
print("circles of 10 px diameter at 200 random places, 1-bit picture (pixel centre inside = ink)")
print("best centre error any estimate can promise: worst place %.3f px, median %.3f px"
      % (res[-1], res[len(res) // 2]))
print("places where no estimate can promise 0.15 px: %d of 200" % sum(e > 0.15 for e in res))
