// Timings the browser test reads: from sending a changed input to the picture drawn, and
// frames evaluated per second while playing.
export const stats = {
  pendingSince: 0,
  lastLatencyMs: -1,
  latencies: [] as number[],
  framesDone: 0,
  started(): void {
    this.pendingSince = performance.now();
  },
  drawn(): void {
    if (this.pendingSince > 0) {
      this.lastLatencyMs = performance.now() - this.pendingSince;
      this.latencies.push(this.lastLatencyMs);
      this.pendingSince = 0;
    }
  },
};
(window as unknown as { vellumStats: typeof stats }).vellumStats = stats;
