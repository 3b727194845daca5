#!/usr/bin/env python3
"""Runs the real qingwu-ocr-cli (natively, or the Windows build under Wine) against the local test
server playing the recognition platform, and checks what a user of the command line sees: the text on
stdout byte for byte, the events on stderr, the exit codes and the files written.

    cli_test.py --cli PATH --server-dir DIR [--wine-env scripts/wine-env]
"""

import argparse
import base64
import json
import os
import random
import shutil
import subprocess
import sys
import tempfile
import unittest
import urllib.request

ARGS = None
HELP_START = "\r\n错误码查询：http://ai.baidu.com/docs#/OCR-API/58fd45dd"


def server_state():
    with open(os.path.join(ARGS.server_dir, "server.json")) as f:
        return json.load(f)


def control(path, payload=None):
    state = server_state()
    url = "http://127.0.0.1:%d%s" % (state["http_port"], path)
    data = None if payload is None else json.dumps(payload).encode()
    request = urllib.request.Request(url, data=data, method="POST" if data is not None or "forget" in path else "GET")
    with urllib.request.urlopen(request, timeout=30) as response:
        return json.loads(response.read() or b"{}")


def as_program_path(path):
    """A path as the program under test sees it (Wine maps the Linux root to drive Z:)."""
    return "Z:" + path.replace("/", "\\") if ARGS.wine_env else path


class CliTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="qw-cli-")
        self.prefix = "/cli-%s-%d" % (self._testMethodName, random.randrange(10**6))
        state = server_state()
        self.write_ini({"api_host": "localhost:%d%s" % (state["https_port"], self.prefix)})

    def tearDown(self):
        control("/_control/forget?prefix=" + self.prefix)
        shutil.rmtree(self.folder, ignore_errors=True)

    def write_ini(self, keys):
        lines = ["[配置项]"] + ["%s=%s" % item for item in keys.items()]
        with open(os.path.join(self.folder, "配置.ini"), "wb") as f:
            f.write(("\r\n".join(lines) + "\r\n").encode("gbk"))

    def answer(self, path, json_text, delay_ms=0):
        control("/_control/answer", {"path": self.prefix + path, "status": 200,
                                     "headers": [["Content-Type", "application/json"]],
                                     "body_base64": base64.b64encode(json_text.encode("utf-8")).decode(),
                                     "delay_ms": delay_ms})

    def received(self, path):
        found = control("/_control/requests?prefix=" + self.prefix + path)["requests"]
        return [dict(r, body=base64.b64decode(r["body_base64"])) for r in found]

    def picture(self, name="图片.png", content=b"\x89PNG picture"):
        path = os.path.join(self.folder, name)
        with open(path, "wb") as f:
            f.write(content)
        return path

    def run_cli(self, *arguments):
        command = [ARGS.cli, "--config-dir", as_program_path(self.folder)] + list(arguments)
        if ARGS.wine_env:
            command = [ARGS.wine_env, "run"] + command
        done = subprocess.run(command, stdin=subprocess.DEVNULL, capture_output=True, timeout=120)
        return done.returncode, done.stdout, done.stderr

    def test_recognised_lines_go_to_stdout_and_stages_to_stderr(self):
        self.answer("/rest/2.0/ocr/v1/general_basic",
                    '{"log_id":1,"words_result":[{"words":"第一行"},{"words":"折扣50%"},{"words":"line 3"}]}')
        code, out, err = self.run_cli(as_program_path(self.picture()))
        self.assertEqual(code, 0, err)
        self.assertEqual(out, "第一行\r\n折扣50%\r\nline 3\r\n".encode("utf-8"))
        lines = err.decode("utf-8").split("\n")
        self.assertEqual(lines[:4], ["title: 已载入-URL编码中", "title: 已载入-发送服务器中",
                                     "title: 已载入-接受数据中", "title: 已载入-解码完成"])
        self.assertRegex(lines[4], r"^title: 识别完成耗时:\d+秒$")
        self.assertEqual(len(self.received("/rest/2.0/ocr/v1/general_basic")), 1)

    def test_raw_gives_the_gbk_bytes_and_copying_shows_the_clipboard(self):
        self.write_ini({"api_host": "localhost:%d%s" % (server_state()["https_port"], self.prefix),
                        "识别完复制": "复制"})
        self.answer("/rest/2.0/ocr/v1/accurate_basic", '{"log_id":1,"words_result":[{"words":"高精度"}]}')
        code, out, err = self.run_cli("--raw", "--accurate", as_program_path(self.picture("a.bmp")))
        self.assertEqual(code, 0, err)
        self.assertEqual(out, "高精度\r\n".encode("gbk"))
        self.assertIn("clipboard: 高精度\r\n\n".encode("gbk"), err)

    def test_service_error_ends_in_the_failure_report_with_exit_one(self):
        self.answer("/rest/2.0/ocr/v1/general_basic", '{"error_code":110,"error_msg":"Access token invalid"}')
        code, out, err = self.run_cli(as_program_path(self.picture()))
        self.assertEqual(code, 1)
        text = out.decode("utf-8")
        self.assertTrue(text.startswith("识别错误\r\n错误信息：Access token invalid\r\n错误码：110" + HELP_START), text[:200])
        self.assertNotIn("\r\r\n", text)
        self.assertRegex(err.decode("utf-8"), r"title: 识别错误耗时:\d+秒")

    def test_token_exchange_stores_the_keys_or_shows_the_refusal(self):
        self.answer("/oauth/2.0/token", '{"access_token":"24.abcdef","expires_in":100}')
        code, out, err = self.run_cli("--token", "键K", "S")
        self.assertEqual(code, 0, err)
        self.assertEqual(err.decode("utf-8"), "message: 信息：: 保存成功\n")
        with open(os.path.join(self.folder, "配置.ini"), "rb") as f:
            ini = f.read().decode("gbk")
        self.assertIn("API Key=键K\r\nSecret Key=S\r\naccess_token=24.abcdef\r\n", ini)
        self.assertEqual(self.received("/oauth/2.0/token")[0]["body"],
                         "grant_type=client_credentials&client_id=键K&client_secret=S".encode("gbk"))

        self.answer("/oauth/2.0/token", '{"error":"invalid_client","error_description":"unknown client id"}')
        code, out, err = self.run_cli("--token", "x", "y")
        self.assertEqual(code, 1)
        self.assertEqual(err.decode("utf-8"), "message: 错误: invalid_client\r\nunknown client id\n")

    def test_batch_writes_a_text_file_beside_every_picture(self):
        self.answer("/rest/2.0/ocr/v1/general", '{"log_id":1,"words_result":[{"words":"批量"}]}')
        pictures = os.path.join(self.folder, "图片")
        os.mkdir(pictures)
        for name in ("a.jpg", "b.PNG", "c.txt"):
            with open(os.path.join(pictures, name), "wb") as f:
                f.write(b"x")
        code, out, err = self.run_cli("--batch", as_program_path(pictures), "--concurrency", "20")
        self.assertEqual(code, 0, err)
        for name in ("a.txt", "b.txt"):
            with open(os.path.join(pictures, name), "rb") as f:
                self.assertEqual(f.read(), "批量\r\n".encode("gbk"))
        text = out.decode("utf-8")
        self.assertIn("1线程\r\n", text)
        self.assertIn("输出路径=", text)
        self.assertFalse(os.path.exists(os.path.join(pictures, "c.txt.txt")))

    def test_table_saves_the_spreadsheet_in_the_config_folder(self):
        state = server_state()
        sheet_url = "https://localhost:%d%s/sheet.xls" % (state["https_port"], self.prefix)
        self.answer("/rest/2.0/solution/v1/form_ocr/request", '{"result":[{"request_id":"r1"}]}')
        self.answer("/rest/2.0/solution/v1/form_ocr/get_request_result",
                    '{"result":{"ret_msg":"已完成","result_data":"%s"}}' % sheet_url)
        control("/_control/answer", {"path": self.prefix + "/sheet.xls", "status": 200, "headers": [],
                                     "body_base64": base64.b64encode(b"\xd0\xcf\x11\xe0sheet").decode()})
        code, out, err = self.run_cli("--table", as_program_path(self.picture()))
        self.assertEqual(code, 0, err)
        with open(os.path.join(self.folder, "1.xls"), "rb") as f:
            self.assertEqual(f.read(), b"\xd0\xcf\x11\xe0sheet")
        self.assertIn(("open: " + sheet_url + "\n").encode(), err)

    def test_bad_arguments_and_missing_pictures(self):
        for arguments in ([], ["--table", "--sogou", "x.png"], ["--token", "only-one"], ["--bogus", "x"]):
            code, out, err = self.run_cli(*arguments)
            self.assertEqual(code, 2, arguments)
            self.assertIn(b"usage:", err)
        code, out, err = self.run_cli(as_program_path(os.path.join(self.folder, "none.png")))
        self.assertEqual(code, 1)
        self.assertIn(b"cannot read", err)


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True)
    parser.add_argument("--server-dir", required=True)
    parser.add_argument("--wine-env")
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
