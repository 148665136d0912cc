#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""A relay that makes a loopback server look like a forum far away.

    latency_proxy.py LISTEN_PORT UPSTREAM_PORT [ROUND_TRIP_MS] [SERVER_MS]

Listens on 127.0.0.1:LISTEN_PORT and relays every connection to
127.0.0.1:UPSTREAM_PORT. Each new connection waits one round trip before its
first request is passed on (the TCP handshake a distant server costs), and
each request waits one round trip plus the server time before it reaches the
server (the request travelling there, the page being made, the answer's first
byte travelling back). Answers are relayed as they come. A connection that
stays open for further requests (keep-alive) pays the handshake once; a client
that opens a connection per request pays it every time. Requests are read
whole (headers, then a Content-Length body) so that each is delayed once.
Defaults: 40 ms round trip, 30 ms server time. Stops on SIGTERM or Ctrl-C.
"""

import asyncio
import signal
import sys

HEADER_END = b"\r\n\r\n"
MAX_HEADER = 64 * 1024


def body_length(headers: bytes) -> int:
    for line in headers.split(b"\r\n")[1:]:
        name, _, value = line.partition(b":")
        if name.strip().lower() == b"content-length":
            try:
                return max(0, int(value.strip()))
            except ValueError:
                return 0
    return 0


async def pump_requests(client, upstream, round_trip, server_time):
    await asyncio.sleep(round_trip)  # the connection's handshake
    buffer = b""
    while True:
        end = buffer.find(HEADER_END)
        while end < 0:
            chunk = await client.read(65536)
            if not chunk:
                if buffer:  # a cut request still goes through, as a real network would pass it
                    upstream.write(buffer)
                    await upstream.drain()
                return
            buffer += chunk
            if len(buffer) > MAX_HEADER:
                return
            end = buffer.find(HEADER_END)
        total = end + len(HEADER_END) + body_length(buffer[:end])
        while len(buffer) < total:
            chunk = await client.read(65536)
            if not chunk:
                return
            buffer += chunk
        request, buffer = buffer[:total], buffer[total:]
        await asyncio.sleep(round_trip + server_time)
        upstream.write(request)
        await upstream.drain()


async def pump_answers(upstream, client):
    while True:
        chunk = await upstream.read(65536)
        if not chunk:
            return
        client.write(chunk)
        await client.drain()


async def relay(client_reader, client_writer, upstream_port, round_trip, server_time):
    try:
        upstream_reader, upstream_writer = await asyncio.open_connection("127.0.0.1", upstream_port)
    except OSError:
        client_writer.close()
        return
    requests = asyncio.ensure_future(pump_requests(client_reader, upstream_writer, round_trip, server_time))
    answers = asyncio.ensure_future(pump_answers(upstream_reader, client_writer))
    try:
        # The answers end the exchange: the server closed, or the client went
        # away and the server closes in turn once the request side is shut.
        done, _ = await asyncio.wait({requests, answers}, return_when=asyncio.FIRST_COMPLETED)
        if requests in done and answers not in done:
            if upstream_writer.can_write_eof():
                upstream_writer.write_eof()
            await answers
    except (ConnectionError, OSError):
        pass
    finally:
        for task in (requests, answers):
            task.cancel()
        for writer in (client_writer, upstream_writer):
            writer.close()


async def main():
    if len(sys.argv) < 3:
        print(__doc__.strip(), file=sys.stderr)
        sys.exit(2)
    listen_port = int(sys.argv[1])
    upstream_port = int(sys.argv[2])
    round_trip = (float(sys.argv[3]) if len(sys.argv) > 3 else 40.0) / 1000.0
    server_time = (float(sys.argv[4]) if len(sys.argv) > 4 else 30.0) / 1000.0
    server = await asyncio.start_server(
        lambda r, w: relay(r, w, upstream_port, round_trip, server_time), "127.0.0.1", listen_port, backlog=128)
    stop = asyncio.Event()
    loop = asyncio.get_running_loop()
    for sig in (signal.SIGTERM, signal.SIGINT):
        loop.add_signal_handler(sig, stop.set)
    async with server:
        await stop.wait()


if __name__ == "__main__":
    asyncio.run(main())
