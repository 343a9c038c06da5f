namespace dotreel {}
