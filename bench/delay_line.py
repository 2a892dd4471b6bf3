#!/usr/bin/python3
"""A delay line for distance benchmarks: a TCP proxy that holds every chunk
for a fixed time in each direction, as a distant server's network would.

    delay_line.py LISTEN_PORT TARGET_PORT DELAY_MS

Listens on 127.0.0.1:LISTEN_PORT and forwards each connection to
127.0.0.1:TARGET_PORT. For each direction a reader stamps every chunk with
its arrival time plus the delay and queues it; a writer sleeps until the
stamp and writes it. A later chunk is never held back by an earlier one, so
pipelined traffic keeps flowing and only round trips pay: 25 ms each way is a
50 ms round trip. Prints "ready" once it listens.
"""
import asyncio
import socket
import sys


async def pipe(reader, writer, delay):
    loop = asyncio.get_running_loop()
    queue = asyncio.Queue()

    async def read():
        while True:
            try:
                data = await reader.read(1 << 16)
            except OSError:
                data = b""  # a reset ends the direction like a close
            await queue.put((loop.time() + delay, data))
            if not data:
                return

    async def write():
        while True:
            due, data = await queue.get()
            wait = due - loop.time()
            if wait > 0:
                await asyncio.sleep(wait)
            if not data:
                # The other end closed its sending side: pass that on.
                try:
                    if writer.can_write_eof():
                        writer.write_eof()
                except OSError:
                    pass
                return
            writer.write(data)
            await writer.drain()

    reading = asyncio.ensure_future(read())
    try:
        await write()
    except (ConnectionError, OSError):
        pass
    reading.cancel()


async def serve(client_reader, client_writer, target, delay):
    try:
        server_reader, server_writer = await asyncio.open_connection("127.0.0.1", target)
    except OSError:
        client_writer.close()
        return
    for w in (client_writer, server_writer):
        w.get_extra_info("socket").setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    await asyncio.gather(pipe(client_reader, server_writer, delay), pipe(server_reader, client_writer, delay),
                         return_exceptions=True)
    for w in (client_writer, server_writer):
        w.close()


async def main():
    listen, target, delay = int(sys.argv[1]), int(sys.argv[2]), float(sys.argv[3]) / 1000
    server = await asyncio.start_server(lambda r, w: serve(r, w, target, delay), "127.0.0.1", listen)
    print("ready", flush=True)
    async with server:
        await server.serve_forever()


if __name__ == "__main__":
    asyncio.run(main())
