// SPDX-License-Identifier: MIT
// A few decode workers sharing one queue: each request goes to the first worker free, so a
// folder of thousands decodes on every core the browser offers (up to four) in order.

export class DecodePool {
  constructor(workerUrl, size) {
    this.queue = [];
    this.idle = [];
    this.pending = new Map();
    this.nextId = 1;
    for (let i = 0; i < size; ++i) {
      const worker = new Worker(workerUrl, {type: 'module'});
      worker.onmessage = (event) => this.answered(worker, event.data);
      worker.onerror = (event) => this.failed(worker, event.message || 'the decoder stopped');
      this.idle.push(worker);
    }
  }

  // Resolves with the worker's answer, or rejects with an Error giving its reason.
  request(request, {urgent = false} = {}) {
    return new Promise((resolve, reject) => {
      const job = {id: this.nextId++, request, resolve, reject};
      if (urgent) this.queue.unshift(job); else this.queue.push(job);
      this.dispatch();
    });
  }

  dispatch() {
    while (this.idle.length !== 0 && this.queue.length !== 0) {
      const worker = this.idle.pop();
      const job = this.queue.shift();
      this.pending.set(worker, job);
      worker.postMessage({id: job.id, request: job.request});
    }
  }

  answered(worker, message) {
    const job = this.pending.get(worker);
    this.pending.delete(worker);
    this.idle.push(worker);
    if (job) {
      if (message.error !== undefined) job.reject(new Error(message.error));
      else job.resolve(message.result);
    }
    this.dispatch();
  }

  failed(worker, reason) {
    const job = this.pending.get(worker);
    this.pending.delete(worker);
    this.idle.push(worker);
    if (job) job.reject(new Error(reason));
    this.dispatch();
  }
}
