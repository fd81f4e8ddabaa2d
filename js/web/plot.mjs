// SPDX-License-Identifier: MIT
// The page's plot, on a canvas: above, pi(x) at the x counted (the powers of
// ten on the way and x itself), li(x) and x / ln x, for x from 10 to the x
// asked, both axes on logarithmic scales; below, where those three look as
// one line, li(x) and x / ln x as multiples of pi(x) at the x counted. It
// grows as the counts come in.
import { li } from '../dist/roughpi.mjs';

const COLORS = { pi: '#c0392b', li: '#2c6fbb', xlog: '#8a939e', grid: '#e6e9ed', axis: '#59606b', text: '#2d3138' };
const MARGIN = { left: 64, right: 18, top: 14, bottom: 34, between: 52 };
const RATIO_SHARE = 0.34; // of the height, for the panel of the ratios
const SAMPLES = 160; // points of each curve
const superscript = (k) =>
    String(k).replace(/[0-9]/g, (d) => '\u2070\u00b9\u00b2\u00b3\u2074\u2075\u2076\u2077\u2078\u2079'[d]);
const decade = (k) => (k === 0 ? '1' : `10${superscript(k)}`);

export class Plot {
    constructor(canvas) {
        this.canvas = canvas;
        this.points = new Map(); // x -> pi(x), as numbers
        this.top = 12; // log10 of the largest x
        this.curves = null;
    }

    /** x from 10 to `x` (at least 100); forgets the points. */
    setRange(x) {
        const top = Math.max(2, Math.log10(Number(x)));
        if (top !== this.top) this.curves = null;
        this.top = top;
        this.points.clear();
    }

    add(x, pi) {
        if (x >= 10n) this.points.set(x, pi);
    }

    // li(x) (the library's, rounded down) and x / ln x at points evenly
    // spaced in log x.
    sample() {
        const curves = { li: [], xlog: [] };
        for (let i = 0; i <= SAMPLES; ++i) {
            const e = 1 + ((this.top - 1) * i) / SAMPLES;
            const x = 10 ** e;
            curves.li.push([e, Math.log10(Number(li(BigInt(Math.round(x)))))]);
            curves.xlog.push([e, Math.log10(x / Math.log(x))]);
        }
        return curves;
    }

    draw() {
        this.curves ??= this.sample();
        const { g, width, height } = this.context();
        const counted = [...this.points].sort((a, b) => (a[0] < b[0] ? -1 : 1));
        const split = MARGIN.top + (height - MARGIN.top - MARGIN.bottom - MARGIN.between) * (1 - RATIO_SHARE);
        const px = (e) => MARGIN.left + ((e - 1) / (this.top - 1)) * (width - MARGIN.left - MARGIN.right);

        // Above: the values, log over log.
        const yTop = Math.ceil(this.curves.li.at(-1)[1] + 0.05);
        const values = panel(g, px, MARGIN.top, split, 0, yTop);
        const xStep = Math.ceil((this.top - 1) / 18);
        const yStep = Math.ceil(yTop / 8);
        values.grid(this.top, xStep, (k) => k % yStep === 0, decade);
        values.line(this.curves.xlog, COLORS.xlog, 1.5);
        values.line(this.curves.li, COLORS.li, 1.5);
        const piPoints = counted.map(([x, pi]) => [Math.log10(Number(x)), Math.log10(Number(pi))]);
        values.line(piPoints, COLORS.pi, 2);
        values.dots(piPoints, COLORS.pi);
        legend(g, px(1) + 14, MARGIN.top + 12, [
            ['π(x), counted', COLORS.pi],
            ['li(x)', COLORS.li],
            ['x / ln x', COLORS.xlog],
        ]);

        // Below: li(x) / pi(x) and (x / ln x) / pi(x) at the x counted.
        const liRatio = counted.map(([x, pi]) => [Math.log10(Number(x)), Number(li(x)) / Number(pi)]);
        const xlogRatio = counted.map(([x, pi]) => [
            Math.log10(Number(x)),
            Number(x) / Math.log(Number(x)) / Number(pi),
        ]);
        const all = [...liRatio, ...xlogRatio].map(([, r]) => r);
        const low = Math.min(0.9, ...all);
        const high = Math.max(1.1, ...all);
        const step = niceStep((high - low) / 4);
        const ratios = panel(
            g,
            px,
            split + MARGIN.between,
            height - MARGIN.bottom,
            Math.floor(low / step) * step,
            Math.ceil(high / step) * step,
        );
        ratios.grid(
            this.top,
            xStep,
            () => true,
            (r) => r.toFixed(step < 0.1 ? 2 : 1),
            step,
        );
        ratios.line(
            [
                [1, 1],
                [this.top, 1],
            ],
            COLORS.pi,
            1.5,
        );
        ratios.line(liRatio, COLORS.li, 1.5);
        ratios.dots(liRatio, COLORS.li);
        ratios.line(xlogRatio, COLORS.xlog, 1.5);
        ratios.dots(xlogRatio, COLORS.xlog);
        g.fillStyle = COLORS.text;
        g.textAlign = 'left';
        g.textBaseline = 'bottom';
        g.fillText('li(x) and x / ln x as multiples of π(x)', px(1) + 4, split + MARGIN.between - 6);
        g.textAlign = 'right';
        g.fillText('x', px(this.top), height - 4);
    }

    // The 2-d context, the canvas sized for the screen's pixels.
    context() {
        const canvas = this.canvas;
        const ratio = globalThis.devicePixelRatio || 1;
        const width = canvas.clientWidth || canvas.width;
        const height = canvas.clientHeight || canvas.height;
        if (canvas.width !== Math.round(width * ratio) || canvas.height !== Math.round(height * ratio)) {
            canvas.width = Math.round(width * ratio);
            canvas.height = Math.round(height * ratio);
        }
        const g = canvas.getContext('2d');
        g.setTransform(ratio, 0, 0, ratio, 0, 0);
        g.clearRect(0, 0, width, height);
        g.font = '12px system-ui, sans-serif';
        return { g, width, height };
    }
}

// 1, 2 or 5 times a power of ten, at least `step`.
function niceStep(step) {
    const power = 10 ** Math.floor(Math.log10(step));
    return [1, 2, 5, 10].map((m) => m * power).find((s) => s >= step);
}

// A panel from `top` to `bottom` on the canvas, for y from `low` to `high`.
function panel(g, px, top, bottom, low, high) {
    const py = (y) => bottom - ((y - low) / (high - low)) * (bottom - top);
    return {
        // Lines at the decades of x (labelled every xStep) and at the y of
        // `step` (labelled where `labelled`), and the axes.
        grid(xTop, xStep, labelled, label, step = 1) {
            g.lineWidth = 1;
            g.textAlign = 'center';
            g.textBaseline = 'top';
            for (let k = 1; k <= Math.floor(xTop + 1e-9); ++k) {
                g.strokeStyle = COLORS.grid;
                g.beginPath();
                g.moveTo(px(k), top);
                g.lineTo(px(k), bottom);
                g.stroke();
                if ((k - 1) % xStep === 0) {
                    g.fillStyle = COLORS.text;
                    g.fillText(decade(k), px(k), bottom + 5);
                }
            }
            g.textAlign = 'right';
            g.textBaseline = 'middle';
            for (let i = Math.ceil(low / step - 1e-9); i * step <= high + 1e-9; ++i) {
                const y = i * step;
                g.strokeStyle = COLORS.grid;
                g.beginPath();
                g.moveTo(px(1), py(y));
                g.lineTo(px(xTop), py(y));
                g.stroke();
                if (labelled(Math.round(y))) {
                    g.fillStyle = COLORS.text;
                    g.fillText(label(step === 1 ? Math.round(y) : y), px(1) - 8, py(y));
                }
            }
            g.strokeStyle = COLORS.axis;
            g.beginPath();
            g.moveTo(px(1), top);
            g.lineTo(px(1), bottom);
            g.lineTo(px(xTop), bottom);
            g.stroke();
        },
        line(points, color, width) {
            if (points.length < 2) return;
            g.strokeStyle = color;
            g.lineWidth = width;
            g.beginPath();
            points.forEach(([e, y], i) => (i === 0 ? g.moveTo(px(e), py(y)) : g.lineTo(px(e), py(y))));
            g.stroke();
        },
        dots(points, color) {
            g.fillStyle = color;
            for (const [e, y] of points) {
                g.beginPath();
                g.arc(px(e), py(y), 3.5, 0, 2 * Math.PI);
                g.fill();
            }
        },
    };
}

function legend(g, left, top, entries) {
    g.textAlign = 'left';
    g.textBaseline = 'middle';
    entries.forEach(([label, color], i) => {
        const y = top + i * 20;
        g.fillStyle = color;
        g.fillRect(left, y - 2, 18, 4);
        g.fillStyle = COLORS.text;
        g.fillText(label, left + 26, y);
    });
}
